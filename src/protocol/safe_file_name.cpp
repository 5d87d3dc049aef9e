#include "protocol/safe_file_name.h"

#include "protocol/escaped_name.h"

namespace dravolin {

namespace {

bool isControlCharacter(unsigned char byte) {
    return byte < 0x20 || (byte >= 0x7F && byte <= 0x9F);
}

void appendLatin1AsUtf8(std::string& text, unsigned char byte) {
    if (byte < 0x80) {
        text.push_back(static_cast<char>(byte));
        return;
    }
    text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
    text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
}

}  // namespace

std::optional<std::string> fileNameForDeviceName(std::string_view deviceName,
                                                 std::string& refusal) {
    const std::string trimmed = trimmedDeviceName(deviceName);
    const std::string quoted = "\"" + escapedName(trimmed) + "\"";
    if (trimmed.empty()) {
        refusal = "the programmer's name is empty";
        return std::nullopt;
    }
    if (trimmed == "." || trimmed == "..") {
        refusal = "the programmer's name " + quoted + " names a folder";
        return std::nullopt;
    }
    std::string fileName;
    for (const char c : trimmed) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\') {
            refusal = "the programmer's name " + quoted + " holds a path separator";
            return std::nullopt;
        }
        if (isControlCharacter(byte)) {
            refusal = "the programmer's name " + quoted + " holds a control character";
            return std::nullopt;
        }
        appendLatin1AsUtf8(fileName, byte);
    }
    refusal.clear();
    return fileName;
}

std::string trimmedDeviceName(std::string_view name) {
    const auto last = name.find_last_not_of(' ');
    return std::string(last == std::string_view::npos ? std::string_view()
                                                      : name.substr(0, last + 1));
}

}  // namespace dravolin
