#include "protocol/escaped_name.h"

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

}  // namespace

std::string escapedName(std::string_view bytes) {
    std::string escaped;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            escaped.push_back(c);
        } else {
            escaped += "\\x";
            escaped.push_back(kHexDigits[byte >> 4]);
            escaped.push_back(kHexDigits[byte & 0x0F]);
        }
    }
    return escaped;
}

std::optional<std::string> nameFromEscaped(std::string_view escaped) {
    std::string bytes;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
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
