#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravolin {

// A name from the device as it is printed on a terminal and in messages: printable ASCII
// stays as it is, a backslash becomes "\\" and every other byte "\xHH" (two lower-case
// hex digits). A device may send escape sequences or line breaks in its names; escaped this
// way they can neither drive the terminal nor split a line, and the form is unambiguous.
std::string escapedName(std::string_view bytes);

// The bytes of a name written in the escaped form, so that a printed name can be copied
// back onto a command line: "\\" is a backslash, "\xHH" (either case) the byte HH, every
// other character itself. Nothing when a backslash starts anything else.
std::optional<std::string> nameFromEscaped(std::string_view escaped);

}  // namespace dravolin
