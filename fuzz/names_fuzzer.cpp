// The names that cross between the PC's files and the device: the device name made from a
// chosen path, and whether a name from the device may become a file name here.

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "protocol/device_name.h"
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
    const std::string name = deviceNameFromPath(path);
    require(name.size() <= kNameLength, "a device name has at most eight characters");
    require(std::all_of(name.begin(), name.end(), isPrintable),
            "a device name has printable characters only");
    require(name.find_first_of("/\\") == std::string::npos,
            "a device name holds no path separator");
    if (std::all_of(path.begin(), path.end(), isPrintable)) {
        require(name == expectedDeviceName(path),
                "a printable path gives the last eight characters of its base name");
    }
    // The announcement carries the name padded to eight bytes.
    const Bytes header(8, '0');
    const Bytes frame = transferAnnouncement(name, header);
    std::string carried(frame.begin() + 1, frame.begin() + 1 + kNameLength);
    require(carried.compare(0, name.size(), name) == 0 &&
                std::all_of(carried.begin() + static_cast<long>(name.size()), carried.end(),
                            [](char c) { return c == ' '; }),
            "the announcement carries the name, padded with spaces");
}

void checkSafeFileName(std::string_view name) {
    if (!isSafeFileName(name)) {
        return;
    }
    // Accepted: it names an entry of the folder it is used in, and nothing else.
    const std::filesystem::path path{std::string(name)};
    require(!name.empty() && name != "." && name != "..", "a safe name is a real entry");
    require(name.find('/') == std::string_view::npos && name.find('\\') == std::string_view::npos,
            "a safe name holds no path separator");
    require(std::distance(path.begin(), path.end()) == 1 && path.filename() == path &&
                !path.has_parent_path() && !path.is_absolute(),
            "a safe name is a single path component");
    require(std::none_of(name.begin(), name.end(),
                         [](char c) {
                             const auto byte = static_cast<unsigned char>(c);
                             return byte < 0x20 || byte == 0x7F;
                         }),
            "a safe name holds no control character");
    const std::filesystem::path file{std::string(name) + ".tiv"};
    require(std::distance(file.begin(), file.end()) == 1, "with its extension it is one component");
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
    checkSafeFileName(text);
    // A directory entry's name field is eight bytes; the device may send any of them.
    const std::string_view field = text.substr(0, kNameLength);
    checkTrimmedName(field);
    checkSafeFileName(trimmedDeviceName(field));
    return 0;
}
