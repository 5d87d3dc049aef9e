#pragma once

#include <string>

namespace dravolin {

// Reads the whole file at `path` (the transfer log, to show its last lines). False with
// the reason, or with `missing` when there is no such file. One twin per system.
bool readWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error);

}  // namespace dravolin
