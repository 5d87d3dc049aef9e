#pragma once

#include <string>
#include <string_view>

namespace dravolin {

// A name that came from the device may become a file name in the current folder only when
// it cannot point anywhere else: no '/', '\', no ".." and no control characters.
bool isSafeFileName(std::string_view name);

// The device's eight-byte name as an operator types it: trailing spaces removed.
std::string trimmedDeviceName(std::string_view name);

}  // namespace dravolin
