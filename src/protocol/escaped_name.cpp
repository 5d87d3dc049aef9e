#include "protocol/escaped_name.h"

#include <cstddef>

#include "protocol/utf8_character.h"

namespace dravolin {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isControl(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

void appendEscapedBytes(std::string& shown, std::string_view bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        shown += "\\x";
        shown.push_back(kHexDigits[byte >> 4]);
        shown.push_back(kHexDigits[byte & 0x0F]);
    }
}

// The rule itself: one character, given as its code point and the bytes that write it.
void appendShown(std::string& shown, char32_t codePoint, std::string_view written) {
    if (codePoint == U'\\') {
        shown += "\\\\";
    } else if (isControl(codePoint)) {
        appendEscapedBytes(shown, written);
    } else {
        shown += written;
    }
}

void appendUtf8(std::string& text, char32_t codePoint) {
    if (codePoint < 0x80) {
        text.push_back(static_cast<char>(codePoint));
        return;
    }
    text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
}

}  // namespace

std::string escapedName(std::string_view bytes) {
    std::string shown;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        std::string written;
        if (isControl(byte)) {
            written.push_back(c);  // escaped as the device's own byte
        } else {
            appendUtf8(written, byte);
        }
        appendShown(shown, byte, written);
    }
    return shown;
}

std::string shownText(std::string_view text) {
    std::string shown;
    while (!text.empty()) {
        char32_t codePoint = 0;
        std::size_t length = utf8Character(text, codePoint);
        if (length == 0) {
            length = 1;
            codePoint = 0x80;  // no character: its byte is escaped as a control's would be
        }
        appendShown(shown, codePoint, text.substr(0, length));
        text.remove_prefix(length);
    }
    return shown;
}

std::string shownWindowsText(std::string_view text) {
    // A backslash (0x5C) is never part of a longer UTF-8 character, so the pieces between
    // them are whole texts of their own.
    std::string shown;
    for (;;) {
        const std::size_t separator = text.find('\\');
        shown += shownText(text.substr(0, separator));
        if (separator == std::string_view::npos) {
            return shown;
        }
        shown.push_back('\\');
        text.remove_prefix(separator + 1);
    }
}

std::optional<std::string> nameFromEscaped(std::string_view escaped) {
    std::string bytes;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        char32_t codePoint = 0;
        const std::size_t length = utf8Character(escaped.substr(i), codePoint);
        if (length > 1) {
            if (codePoint > 0xFF) {
                return std::nullopt;
            }
            bytes.push_back(static_cast<char>(codePoint));
            i += length - 1;
            continue;
        }
        if (escaped[i] != '\\') {
            bytes.push_back(escaped[i]);
            continue;
        }
        if (i + 1 < escaped.size() && escaped[i + 1] == '\\') {
            bytes.push_back('\\');
            i += 1;
            continue;
        }
        if (i + 3 < escaped.size() && escaped[i + 1] == 'x' && hexValue(escaped[i + 2]) >= 0 &&
            hexValue(escaped[i + 3]) >= 0) {
            bytes.push_back(
                static_cast<char>(hexValue(escaped[i + 2]) * 16 + hexValue(escaped[i + 3])));
            i += 3;
            continue;
        }
        return std::nullopt;
    }
    return bytes;
}

}  // namespace dravolin
