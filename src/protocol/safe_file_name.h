#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravolin {

// The one rule that decides what a name from the device becomes as a file name, for the
// window's save dialog and for dravolin-cli alike. The device's name, its trailing spaces
// removed, is the file name (without extension) as it stands, its bytes above 0x9F read
// as the device's own Latin-1 characters and written in UTF-8. A name that could point
// anywhere but one file in the chosen folder, or that would hide parts of itself on a
// terminal, has no file name: nothing is returned and `refusal` says why (empty, "." or
// "..", a '/' or '\', a control character: below 0x20 or 0x7F to 0x9F).
std::optional<std::string> fileNameForDeviceName(std::string_view deviceName, std::string& refusal);

// The device's eight-byte name as an operator types it: trailing spaces removed.
std::string trimmedDeviceName(std::string_view name);

}  // namespace dravolin
