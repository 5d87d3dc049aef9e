#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace dravolin {

// Saves a file whole or not at all, and only where a file belongs. The bytes go to a
// temporary file (short name) in the target's folder, are flushed to disk and renamed
// onto the target when whole; the folder is flushed after the rename.
//
// What is at the target decides:
//   - nothing: the file is created with the mode new files get here (the umask applies);
//   - a regular file: replaced, keeping its mode (and, where allowed, its owner), unless
//     it is read-only (no write bit in its mode, whoever saves: administrators too);
//   - a symbolic link: followed, and the file it names is saved in its own folder, so the
//     link stays a link;
//   - anything else (folder, FIFO, socket, device): left alone, the save fails.
// A failed save leaves the target exactly as it was and no temporary file behind.
class FileSaver {
public:
    enum class IfExists {
        Replace,  // the operator chose the target, or agreed to replace it
        Keep,     // fail when anything at all is at the path, even a link: a new file only
    };

    struct Result {
        bool ok = false;
        std::string reason;  // why the save failed, naming the path; empty when ok
    };

    static Result save(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                       IfExists ifExists);

    // "a FIFO", "a folder", ...: what a file of this mode is, for messages.
    static std::string kindOfFile(unsigned mode);
};

}  // namespace dravolin
