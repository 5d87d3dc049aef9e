#pragma once

#include <filesystem>
#include <string>

#include "protocol/unique_fd.h"

namespace dravolin {

// Opens a regular file for reading (as binary bytes) without ever waiting in the open;
// anything else is refused with the reason. Not open, with the reason, when that fails.
UniqueFd openRegularFile(const std::filesystem::path& path, std::string& reason);

}  // namespace dravolin
