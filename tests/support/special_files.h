#pragma once

#include <filesystem>
#include <string>

#include "protocol/unique_fd.h"

namespace dravolin::test {

// Things at a path that are not regular files, made in a test folder.
void makeFifo(const std::filesystem::path& path);
// A listening UNIX socket; it exists while the returned descriptor is open.
UniqueFd makeSocket(const std::filesystem::path& path);

// What the path names now, without following a link: "file", "folder", "fifo", "socket",
// "device", "link" or "nothing".
std::string kindAt(const std::filesystem::path& path);

}  // namespace dravolin::test
