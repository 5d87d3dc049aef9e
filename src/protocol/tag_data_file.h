#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "protocol/file_saver.h"
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

    using SaveResult = FileSaver::Result;

    // Reads the header and the len data bytes it announces, and nothing more. Only a
    // regular file is read, and opening never waits: a FIFO with no writer would block for
    // ever and a device has no business being sent. Refuses a file that cannot be read, is
    // shorter than its header, announces a negative length or holds fewer data bytes than
    // it announces. Bytes beyond 8 + len are allowed and not read.
    static LoadResult load(const std::filesystem::path& path);

    // Saves the bytes whole or not at all, as FileSaver does: an existing file is either
    // replaced completely or left exactly as it was.
    static SaveResult save(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                           FileSaver::IfExists ifExists = FileSaver::IfExists::Replace);
};

}  // namespace dravolin
