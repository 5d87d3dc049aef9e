#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "protocol/frames.h"

namespace dravolin {

// A tag-data file (.tiv) is the device's file reply without its check byte: an 8-byte
// header whose bytes 4..7 hold the data length as four decimal digits, then the data.
class TagDataFile {
public:
    struct LoadResult {
        bool ok = false;
        Bytes bytes;         // header and data, 8 + len bytes; empty unless ok
        std::string reason;  // why the file was refused; empty when ok
    };

    struct SaveResult {
        bool ok = false;
        std::string reason;
    };

    // Reads the header and the len data bytes it announces, and nothing more. Refuses a
    // file that cannot be read, is shorter than its header, announces a negative length
    // or holds fewer data bytes than it announces. Bytes beyond 8 + len are allowed and
    // not read.
    static LoadResult load(const std::filesystem::path& path);

    // Writes the bytes to a temporary file in the target's folder, flushes it to disk and
    // renames it over the target only when it is whole, so an existing file is either
    // replaced completely or left exactly as it was.
    static SaveResult save(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
};

}  // namespace dravolin
