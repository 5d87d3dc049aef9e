#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravolin {

// A character of a file's name that no name in the programmer can hold.
struct UnsendableCharacter {
    std::string shown;     // as the operator reads it: "€ (U+20AC)", "U+001B", or a byte "\xff"
    bool notUtf8 = false;  // a byte that is no part of a UTF-8 character
};

// The name under which a file is stored in the programmer (0 to 8 characters): the base
// name of the path (after the last '/' or '\'), without its extension (the last dot and
// what follows), its last eight characters kept. The path is UTF-8; each character goes out
// as its byte in the programmer's Latin-1, as names are listed (ü as 0xFC). Nothing is
// replaced: a name holding a character Latin-1 lacks, a control character or a byte that is
// not UTF-8 has no device name, and `unsendable` names the first of them.
std::optional<std::string> deviceNameFromPath(std::string_view path,
                                              UnsendableCharacter& unsendable);

}  // namespace dravolin
