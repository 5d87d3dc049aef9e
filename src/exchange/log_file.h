#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace dravolin {

// The file calls of the transfer log and the trace, one twin per system.

// Appends `whole` (one or more whole lines) to the log at `path` with one write, under a
// lock against other writers; when the log would grow beyond `rotateAt` it is renamed to
// `oldPath` first. A short write is taken back. False with the reason.
bool appendLogLine(const std::string& path, const std::string& whole, std::size_t rotateAt,
                   const std::string& oldPath, std::string& error);

// Reads the whole file at `path`. False with the reason, or with `missing` when there is
// no such file.
bool readWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error);

// A stream that appends to the file at `path` (made readable by its owner only where the
// system has modes); null with the reason.
std::FILE* openAppendingStream(const std::string& path, std::string& error);

}  // namespace dravolin
