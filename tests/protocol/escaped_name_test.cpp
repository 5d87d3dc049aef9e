#include "protocol/escaped_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace dravolin {
namespace {

using namespace std::string_literals;

// Names as the device may send them, and how they appear on a terminal.
TEST(EscapedName, NonPrintableBytesAndBackslashesAreEscapedAndReadBack) {
    const std::pair<std::string, std::string> cases[] = {
        {"A B-_.~", "A B-_.~"},
        {"\x1b[2J", "\\x1b[2J"},
        {"A\nB\rC\t", "A\\x0aB\\x0dC\\x09"},
        {"\x7f\x80\x9b\xe4\xff", "\\x7f\\x80\\x9b\\xe4\\xff"},
        {"a\\x41", "a\\\\x41"},  // a literal backslash cannot be taken for an escape
        {"nul\0x"s, "nul\\x00x"},
        {"", ""},
    };
    for (const auto& [bytes, escaped] : cases) {
        EXPECT_EQ(escapedName(bytes), escaped);
        EXPECT_EQ(nameFromEscaped(escaped), bytes) << escaped;
    }
    // Whatever the bytes, the escaped form is printable ASCII and reads back to them.
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    const std::string allEscaped = escapedName(all);
    EXPECT_TRUE(std::all_of(allEscaped.begin(), allEscaped.end(),
                            [](char c) { return c >= 0x20 && c < 0x7f; }));
    EXPECT_EQ(nameFromEscaped(allEscaped), all);

    // Typed names are read leniently, but an escape must be whole.
    EXPECT_EQ(nameFromEscaped("\\x1B\\x1b"), "\x1b\x1b");
    EXPECT_EQ(nameFromEscaped("-DASH"), "-DASH");
    for (const char* bad : {"\\", "a\\", "\\n", "\\x", "\\x1", "\\xg0", "\\X41"}) {
        EXPECT_FALSE(nameFromEscaped(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace dravolin
