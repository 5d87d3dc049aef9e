#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace dravolin {

// The programs keep every path as UTF-8 text, whatever the system: the window takes it
// from Qt, the command line from the system's own text, and the transfer log writes it as
// it is. These turn such text into a path the system's file calls take and back, and say
// how a path is shown to the operator.
//
// A std::filesystem::path made straight from a std::string reads the bytes in the C
// library's narrow encoding, which on Windows is not UTF-8; these never do.
std::filesystem::path pathFromText(std::string_view text);
std::string textOfPath(const std::filesystem::path& path);

// A path (or a device) as the operator is shown it: on a terminal, in the window and in
// the transfer log. On Linux every control character and a backslash are escaped, as in
// shownText: a backslash is unusual in a Linux path and must not pass for an escape. On
// Windows the folders are separated by backslashes, each shown as itself, and only
// control characters are escaped ("C:/Users/j/TAG.tiv" is shown as "C:\Users\j\TAG.tiv").
std::string shownPath(std::string_view path);

// A text that names paths, such as the system's reason why a file could not be saved: as
// shownText, but on Windows a backslash is shown as itself there too. Its slashes stay.
std::string shownTextNamingPaths(std::string_view text);

}  // namespace dravolin
