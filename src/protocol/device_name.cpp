#include "protocol/device_name.h"

#include <cstdio>
#include <vector>

#include "protocol/frames.h"
#include "protocol/utf8_character.h"

namespace dravolin {

namespace {

// A byte that does not begin a UTF-8 character stands for itself.
constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

std::string_view baseName(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string_view withoutExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

struct Character {
    char32_t codePoint = kNotUtf8;
    std::string_view written;  // its bytes in the path
};

std::vector<Character> charactersOf(std::string_view text) {
    std::vector<Character> characters;
    while (!text.empty()) {
        Character character;
        std::size_t length = utf8Character(text, character.codePoint);
        if (length == 0) {
            length = 1;
            character.codePoint = kNotUtf8;
        }
        character.written = text.substr(0, length);
        characters.push_back(character);
        text.remove_prefix(length);
    }
    return characters;
}

std::string codePointText(char32_t codePoint) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(codePoint));
    return text;
}

// Why the character cannot be in a name in the programmer; nothing when it can.
std::optional<UnsendableCharacter> unsendableOf(const Character& character) {
    const char32_t codePoint = character.codePoint;
    if (codePoint == kNotUtf8) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "\\x%02x",
                      static_cast<unsigned char>(character.written[0]));
        return UnsendableCharacter{byte, true};
    }
    // Controls are shown by their number: written, they could drive a terminal.
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F)) {
        return UnsendableCharacter{codePointText(codePoint), false};
    }
    if (codePoint > 0xFF) {
        return UnsendableCharacter{
            std::string(character.written) + " (" + codePointText(codePoint) + ")", false};
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> deviceNameFromPath(std::string_view path,
                                              UnsendableCharacter& unsendable) {
    std::vector<Character> characters = charactersOf(withoutExtension(baseName(path)));
    if (characters.size() > kNameLength) {
        characters.erase(characters.begin(),
                         characters.end() - static_cast<std::ptrdiff_t>(kNameLength));
    }
    std::string name;
    for (const Character& character : characters) {
        if (const std::optional<UnsendableCharacter> refused = unsendableOf(character)) {
            unsendable = *refused;
            return std::nullopt;
        }
        name.push_back(static_cast<char>(character.codePoint));
    }
    return name;
}

}  // namespace dravolin
