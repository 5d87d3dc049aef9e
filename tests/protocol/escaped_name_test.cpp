#include "protocol/escaped_name.h"
#include "protocol/path_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace dravolin {
namespace {

using namespace std::string_literals;

// Names as the device sends them (Latin-1) and as they are shown; `get` takes them back.
TEST(EscapedName, ControlsAndBackslashesAreEscapedLatin1LettersShownAndAllReadBack) {
    const std::pair<std::string, std::string> cases[] = {
        {"A B-_.~", "A B-_.~"},
        {"\x1b[2J", "\\x1b[2J"},
        {"A\nB\rC\t", "A\\x0aB\\x0dC\\x09"},
        {"\x7f\x80\x9b\xa0\xe4\xff", "\\x7f\\x80\\x9b\u00a0\u00e4\u00ff"},
        {"a\\x41", "a\\\\x41"},  // a literal backslash cannot be taken for an escape
        {"nul\0x"s, "nul\\x00x"},
        {"", ""},
    };
    for (const auto& [bytes, escaped] : cases) {
        EXPECT_EQ(escapedName(bytes), escaped);
        EXPECT_EQ(nameFromEscaped(escaped), bytes) << escaped;
    }
    // Whatever the bytes, the shown form holds no control (C0, DEL, C1 in UTF-8) and reads back.
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    const std::string shown = escapedName(all);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto byte = static_cast<unsigned char>(shown[i]);
        const auto next = static_cast<unsigned char>(shown[i + 1]);  // '\0' after the last
        EXPECT_FALSE(byte < 0x20 || byte == 0x7f || (byte == 0xc2 && next >= 0x80 && next <= 0x9f))
            << i;
    }
    EXPECT_EQ(nameFromEscaped(shown), all);

    // Typed names: old escapes and raw Latin-1 still work; an escape must be whole and a
    // letter must have a Latin-1 byte.
    EXPECT_EQ(nameFromEscaped("\\x1B\\x1b"), "\x1b\x1b");
    EXPECT_EQ(nameFromEscaped("PR\\xdcFUNG"), "PR\xdc" + "FUNG"s);
    EXPECT_EQ(nameFromEscaped("PR\xdc" + "FUNG"s), "PR\xdc" + "FUNG"s);
    EXPECT_EQ(nameFromEscaped("-DASH"), "-DASH");
    for (const char* bad :
         {"\\", "a\\", "\\n", "\\x", "\\x1", "\\xg0", "\\X41", "\u20ac", "\U0001f600"}) {
        EXPECT_FALSE(nameFromEscaped(bad).has_value()) << bad;
    }
}

// Texts from other programs and the system are UTF-8: letters stay, no control gets through.
TEST(ShownText, ControlsInAnyEncodingAreEscapedAndLettersStay) {
    const std::pair<std::string, std::string> cases[] = {
        {"\x1b]0;owned\a\x1b[2J", "\\x1b]0;owned\\x07\\x1b[2J"},  // a hostile /proc comm
        {"USB\xc2\x9b" + "31m"s, "USB\\xc2\\x9b31m"},             // C1 CSI in UTF-8
        {"raw\x9b\x85", "raw\\x9b\\x85"},                         // C1 as single bytes
        {"/home/j\u00fcrgen/\u20ac \U0001f600", "/home/j\u00fcrgen/\u20ac \U0001f600"},
        {"a\\b\x7f", "a\\\\b\\x7f"},
        {"\xc0\x80\xed\xa0\x80\xe2\x82", "\\xc0\\x80\\xed\\xa0\\x80\\xe2\\x82"},  // not characters
        {"tab\tline\n", "tab\\x09line\\x0a"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(shownText(text), shown) << shown;
    }
    // On Windows the backslash is a path's separator and is shown as it is.
    EXPECT_EQ(shownWindowsText("\\\\.\\COM3"), "\\\\.\\COM3");
    EXPECT_EQ(shownWindowsText("C:\\T\xc3\xa4g\\\x1b[2J\\"), "C:\\T\xc3\xa4g\\\\x1b[2J\\");
}

// Every path shown (terminal, window, transfer log) follows one rule per system: controls
// never get through; on Windows the separators are the system's own and a backslash is
// itself, on Linux a backslash is escaped.
TEST(ShownPath, ControlsAreEscapedAndSeparatorsAreTheSystems) {
#ifdef _WIN32
    const std::pair<std::string, std::string> cases[] = {
        {"\\\\.\\COM1", "\\\\.\\COM1"},
        {"C:/Users/j\u00fcrgen/Documents\\EMPTY.tiv",
         "C:\\Users\\j\u00fcrgen\\Documents\\EMPTY.tiv"},
        {"C:\\T\x1b[2J\\a\tb", "C:\\T\\x1b[2J\\a\\x09b"},
    };
#else
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/home/j\u00fcrgen/a\\b.tiv", "/home/j\u00fcrgen/a\\\\b.tiv"},
        {"/tmp/\x1b[2J/a\tb", "/tmp/\\x1b[2J/a\\x09b"},
    };
#endif
    for (const auto& [path, shown] : cases) {
        EXPECT_EQ(shownPath(path), shown) << shown;
    }
}

}  // namespace
}  // namespace dravolin
