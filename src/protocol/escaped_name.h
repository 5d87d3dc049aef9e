#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravolin {

// How every text that comes from outside this program reaches a terminal, a window or the
// transfer log. One rule: a character is shown as itself unless it is a control (C0 below
// 0x20, DEL, or C1 from 0x80 to 0x9F) or a backslash; a backslash becomes "\\" and each
// byte of anything else "\xHH" (two lower-case hex digits). A text so shown can neither
// drive a terminal nor split a line or a field, and the form is unambiguous.
//
// The rule reads its input one of two ways, as the text is one of two kinds:

// A name from the device: eight bytes in the device's own Latin-1. Its printable letters
// (0xA0 to 0xFF) are written in UTF-8, so "PR\xdcFUNG" shows as "PRÜFUNG".
std::string escapedName(std::string_view bytes);

// Any other outside text (a process name, a lock file, a sysfs string, a path, a system
// error text): read as UTF-8; a byte that does not belong to a well-formed character is
// escaped on its own, and so is every byte of a C1 control written in UTF-8 (U+009B is
// "\xc2\x9b").
std::string shownText(std::string_view text);

// The same for a Windows path or a text naming one, where the backslash separates folders:
// it stays itself ("\\.\COM3" is shown as it is written), and every other character
// follows the rule above.
std::string shownWindowsText(std::string_view text);

// The bytes of a name in its shown form, so that a printed name can be copied back onto a
// command line: "\\" is a backslash, "\xHH" (either case) the byte HH, a character from
// U+0080 to U+00FF in UTF-8 its Latin-1 byte, and any other byte itself (a name typed on a
// terminal that is not UTF-8). Nothing when a backslash starts anything else, or for a
// character that has no Latin-1 byte.
std::optional<std::string> nameFromEscaped(std::string_view escaped);

}  // namespace dravolin
