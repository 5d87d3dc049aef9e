// The names that cross between the PC's files and the device: the device name made from a
// chosen path, the file name a name from the device becomes here, and the escaped form in
// which names are printed and typed back.

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "protocol/device_name.h"
#include "protocol/escaped_name.h"
#include "protocol/frames.h"
#include "protocol/safe_file_name.h"

using namespace dravolin;
using dravolin::fuzz::require;

namespace {

bool isPrintable(char c) {
    return c >= 0x20 && c < 0x7F;
}

// For a path of printable ASCII: the last eight characters of the base name without its
// extension, worked out here from the rule as operators read it.
std::string expectedDeviceName(std::string_view path) {
    std::string base(path);
    if (const auto separator = base.find_last_of("/\\"); separator != std::string::npos) {
        base.erase(0, separator + 1);
    }
    if (const auto dot = base.rfind('.'); dot != std::string::npos) {
        base.erase(dot);
    }
    return base.size() > 8 ? base.substr(base.size() - 8) : base;
}

void checkDeviceName(std::string_view path) {
    UnsendableCharacter unsendable;
    const std::optional<std::string> name = deviceNameFromPath(path, unsendable);
    if (!name) {
        require(!unsendable.shown.empty(), "a refused name says which character it holds");
        require(!std::all_of(path.begin(), path.end(), isPrintable),
                "a printable path always has a device name");
        return;
    }
    require(name->size() <= kNameLength, "a device name has at most eight characters");
    require(std::none_of(name->begin(), name->end(),
                         [](char c) {
                             const auto byte = static_cast<unsigned char>(c);
                             return byte < 0x20 || (byte >= 0x7F && byte <= 0x9F);
                         }),
            "a device name holds no control character");
    require(name->find_first_of("/\\") == std::string::npos,
            "a device name holds no path separator");
    if (std::all_of(path.begin(), path.end(), isPrintable)) {
        require(*name == expectedDeviceName(path),
                "a printable path gives the last eight characters of its base name");
    }
    // Listed back, the name reads as the end of the file's own name: nothing was replaced.
    const std::string listed = escapedName(*name);
    std::string_view stem = path;
    if (const auto separator = stem.find_last_of("/\\"); separator != std::string_view::npos) {
        stem.remove_prefix(separator + 1);
    }
    stem = stem.substr(0, stem.rfind('.'));
    require(stem.ends_with(listed), "the name is the end of the file's name, as it is listed");
    // The announcement carries the name padded to eight bytes.
    const Bytes header(8, '0');
    const Bytes frame = transferAnnouncement(*name, header);
    std::string carried(frame.begin() + 1, frame.begin() + 1 + kNameLength);
    require(carried.compare(0, name->size(), *name) == 0 &&
                std::all_of(carried.begin() + static_cast<long>(name->size()), carried.end(),
                            [](char c) { return c == ' '; }),
            "the announcement carries the name, padded with spaces");
}

// The file name decoded back from UTF-8 to the device's Latin-1 bytes; nothing when it is
// not UTF-8 of such characters.
std::optional<std::string> latin1Of(std::string_view utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            bytes.push_back(static_cast<char>(lead));
            continue;
        }
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 == utf8.size()) {
            return std::nullopt;
        }
        const auto next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F)));
    }
    return bytes;
}

bool isControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || (byte >= 0x7F && byte <= 0x9F);
}

// Whether a shown text holds a C0 control, DEL, or a C1 control written in UTF-8.
bool holdsControl(std::string_view shown) {
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto byte = static_cast<unsigned char>(shown[i]);
        const auto next = i + 1 < shown.size() ? static_cast<unsigned char>(shown[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next <= 0x9F)) {
            return true;
        }
    }
    return false;
}

void checkFileName(std::string_view deviceName) {
    std::string refusal = "left over";
    const std::optional<std::string> name = fileNameForDeviceName(deviceName, refusal);
    if (!name) {
        require(!refusal.empty(), "a refused name says why");
        require(!holdsControl(refusal), "the reason, which quotes the name, prints no control");
        return;
    }
    require(refusal.empty(), "an accepted name leaves no reason behind");
    // It names an entry of the folder it is used in, and nothing else.
    const std::filesystem::path path{*name};
    require(!name->empty() && *name != "." && *name != "..", "a file name is a real entry");
    require(name->find_first_of("/\\") == std::string::npos, "a file name holds no separator");
    require(std::distance(path.begin(), path.end()) == 1 && path.filename() == path &&
                !path.has_parent_path() && !path.is_absolute(),
            "a file name is a single path component");
    const std::filesystem::path file{*name + ".tiv"};
    require(std::distance(file.begin(), file.end()) == 1, "with its extension it is one component");
    // It is the device's name, trailing spaces removed, in UTF-8, without control characters.
    const std::optional<std::string> bytes = latin1Of(*name);
    require(bytes && *bytes == trimmedDeviceName(deviceName),
            "a file name is the trimmed device name, Latin-1 written as UTF-8");
    require(std::none_of(bytes->begin(), bytes->end(), isControlByte),
            "a file name holds no control character");
}

// A name as list prints it and as get takes it back; any outside text as it is shown.
void checkEscapedName(std::string_view text) {
    const std::string escaped = escapedName(text);
    require(!holdsControl(escaped), "an escaped name holds no control");
    require(!holdsControl(shownText(text)), "a shown text holds no control");
    require(nameFromEscaped(escaped) == std::string(text), "an escaped name reads back the same");
    // Typed by an operator: whatever reads as a name, escaped again, reads back the same.
    if (const std::optional<std::string> typed = nameFromEscaped(text)) {
        require(typed->size() <= text.size(), "escapes only shorten what is typed");
        require(nameFromEscaped(escapedName(*typed)) == typed, "a typed name survives escaping");
    }
}

void checkTrimmedName(std::string_view field) {
    const std::string trimmed = trimmedDeviceName(field);
    require(field.substr(0, trimmed.size()) == trimmed, "trimming keeps the front of the name");
    require(trimmed.empty() || trimmed.back() != ' ', "a trimmed name ends in no space");
    require(std::all_of(field.begin() + static_cast<long>(trimmed.size()), field.end(),
                        [](char c) { return c == ' '; }),
            "only trailing spaces are removed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkDeviceName(text);
    checkFileName(text);
    checkEscapedName(text);
    // A directory entry's name field is eight bytes; the device may send any of them.
    const std::string_view field = text.substr(0, kNameLength);
    checkTrimmedName(field);
    checkFileName(field);
    return 0;
}
