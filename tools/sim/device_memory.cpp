#include "sim/device_memory.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "protocol/tag_data_file.h"

namespace dravolin {

namespace {

const std::string kExtension = ".tiv";

// Printable ASCII and the device's Latin-1 letters (a file name holds them as single
// bytes, as the device keeps them).
bool isPrintable(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x20 && byte < 0x7f) || byte >= 0xa0;
}

// Why a base name cannot be a device name, or empty when it can.
std::string nameProblem(const std::string& name) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.size() > kNameLength) {
        return "the name is longer than 8 characters";
    }
    if (!std::all_of(name.begin(), name.end(), isPrintable)) {
        return "the name holds characters the device cannot show";
    }
    if (name.back() == ' ') {
        // It would read back as a different file once the padding is removed.
        return "the name ends in a space";
    }
    return {};
}

bool endsWithExtension(const std::string& fileName) {
    return fileName.size() > kExtension.size() &&
           fileName.compare(fileName.size() - kExtension.size(), kExtension.size(), kExtension) ==
               0;
}

}  // namespace

DeviceMemory::DeviceMemory(std::filesystem::path folder, std::size_t capacity, LogSink log)
    : folder_(std::move(folder)), capacity_(capacity), log_(std::move(log)) {}

std::vector<DeviceMemory::StoredFile> DeviceMemory::files() {
    std::vector<StoredFile> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        if (auto file = readEntry(entry)) {
            found.push_back(std::move(*file));
        }
    }
    if (error) {
        noteOnce(folder_.string(), "cannot read the folder: " + error.message());
    }
    std::sort(found.begin(), found.end(),
              [](const StoredFile& a, const StoredFile& b) { return a.name < b.name; });
    return found;
}

std::optional<DeviceMemory::StoredFile> DeviceMemory::find(
    std::span<const std::uint8_t> nameField) {
    const std::string name = fileNameOf(nameField);
    if (name.empty()) {
        return std::nullopt;
    }
    for (auto& file : files()) {
        if (file.name == name) {
            return std::move(file);
        }
    }
    return std::nullopt;
}

DeviceMemory::StoreOutcome DeviceMemory::store(std::span<const std::uint8_t> nameField,
                                               std::span<const std::uint8_t> fileBytes) {
    const std::string name = fileNameOf(nameField);
    if (name.empty()) {
        return StoreOutcome::BadName;
    }
    if (!hasRoomFor(name)) {
        return StoreOutcome::Full;
    }
    const auto saved = TagDataFile::save(folder_ / (name + kExtension), fileBytes);
    if (!saved.ok) {
        log_("voska-sim: cannot store " + name + ": " + saved.reason);
        return StoreOutcome::WriteFailed;
    }
    return StoreOutcome::Stored;
}

bool DeviceMemory::hasRoomFor(const std::string& name) {
    const auto held = files();
    const bool replaces = std::any_of(held.begin(), held.end(),
                                      [&](const StoredFile& file) { return file.name == name; });
    return replaces || held.size() < capacity_;
}

std::string DeviceMemory::fileNameOf(std::span<const std::uint8_t> nameField) {
    std::string name(nameField.begin(), nameField.end());
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    if (!nameProblem(name).empty() || name.find('/') != std::string::npos) {
        return {};
    }
    return name;
}

Bytes DeviceMemory::nameField(const std::string& name) {
    Bytes field(kNameLength, ' ');
    std::copy_n(name.begin(), std::min(name.size(), kNameLength), field.begin());
    return field;
}

std::optional<DeviceMemory::StoredFile> DeviceMemory::readEntry(
    const std::filesystem::directory_entry& entry) {
    const std::string fileName = entry.path().filename().string();
    std::error_code error;
    if (!endsWithExtension(fileName) || !entry.is_regular_file(error)) {
        return std::nullopt;
    }
    const std::string name = fileName.substr(0, fileName.size() - kExtension.size());
    if (const std::string problem = nameProblem(name); !problem.empty()) {
        noteOnce(fileName, problem);
        return std::nullopt;
    }
    auto loaded = TagDataFile::load(entry.path());
    if (!loaded.ok) {
        noteOnce(fileName, loaded.reason);
        return std::nullopt;
    }
    return StoredFile{name, std::move(loaded.bytes)};
}

void DeviceMemory::noteOnce(const std::string& fileName, const std::string& why) {
    if (noted_.insert(fileName + '\n' + why).second) {
        log_("voska-sim: skipping " + fileName + ": " + why);
    }
}

}  // namespace dravolin
