#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "sim/simulator_options.h"

namespace dravolin {

// The device's file memory, kept as a folder of NAME.tiv files. The folder is read afresh
// for every request, so files put there while the device runs show up at once.
class DeviceMemory {
public:
    struct StoredFile {
        std::string name;  // 1 to 8 printable characters, no trailing space
        Bytes bytes;       // header and data, 8 + len bytes
    };

    enum class StoreOutcome { Stored, Full, BadName, WriteFailed };

    DeviceMemory(std::filesystem::path folder, std::size_t capacity, LogSink log);

    // The files the device holds, sorted by name. Files it cannot hold are left out with
    // a note (once per file).
    std::vector<StoredFile> files();

    // The file stored under the 8 name bytes of a frame (name padded with spaces).
    std::optional<StoredFile> find(std::span<const std::uint8_t> nameField);

    // True when a file of this name can be stored: the name is held already (it will be
    // replaced) or the memory has a free place.
    bool hasRoomFor(const std::string& name);

    // Stores the file under the name in the 8 name bytes of an announcement. A new name
    // is refused when the memory is full; an existing one is replaced.
    StoreOutcome store(std::span<const std::uint8_t> nameField,
                       std::span<const std::uint8_t> fileBytes);

    // The file name part of an 8-byte name field: trailing spaces removed. Empty when the
    // name cannot be a file name here (empty, a '/', a character outside printable ASCII).
    static std::string fileNameOf(std::span<const std::uint8_t> nameField);

    // The name as it crosses the line: padded with spaces to 8 bytes.
    static Bytes nameField(const std::string& name);

private:
    std::optional<StoredFile> readEntry(const std::filesystem::directory_entry& entry);
    void noteOnce(const std::string& fileName, const std::string& why);

    std::filesystem::path folder_;
    std::size_t capacity_;
    LogSink log_;
    std::set<std::string> noted_;
};

}  // namespace dravolin
