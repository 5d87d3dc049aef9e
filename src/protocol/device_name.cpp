#include "protocol/device_name.h"

#include <cstdint>

#include "protocol/frames.h"

namespace dravolin {

namespace {

std::string_view baseName(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string_view withoutExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

// Length in bytes of the UTF-8 sequence that starts with `lead`; stray continuation
// bytes and invalid leads count as one byte each.
std::size_t sequenceLength(std::uint8_t lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    if (lead >= 0xC2) {
        return 2;
    }
    return 1;
}

// One output character for each character of the (UTF-8) input.
std::string showableCharacters(std::string_view text) {
    std::string shown;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            shown.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        std::size_t length = sequenceLength(byte);
        for (std::size_t k = 1; k < length; ++k) {
            const bool continues =
                i + k < text.size() && (static_cast<std::uint8_t>(text[i + k]) & 0xC0) == 0x80;
            if (!continues) {
                length = k;
                break;
            }
        }
        shown.push_back('_');
        i += length;
    }
    return shown;
}

}  // namespace

std::string deviceNameFromPath(std::string_view path) {
    const std::string name = showableCharacters(withoutExtension(baseName(path)));
    return name.size() > kNameLength ? name.substr(name.size() - kNameLength) : name;
}

}  // namespace dravolin
