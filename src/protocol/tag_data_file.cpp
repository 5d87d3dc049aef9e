#include "protocol/tag_data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace dravolin {

namespace {

std::string systemText(int error) {
    return std::strerror(error);
}

TagDataFile::LoadResult refused(std::string reason) {
    return TagDataFile::LoadResult{false, {}, std::move(reason)};
}

// Validates the header in `bytes` and returns the data length it announces, or a reason.
bool readAnnouncedLength(std::span<const std::uint8_t> header, long& dataLength,
                         std::string& reason) {
    if (header.size() < kHeaderLength) {
        reason = "the file is shorter than its 8-byte header (" + std::to_string(header.size()) +
                 " bytes)";
        return false;
    }
    dataLength = fileDataLength(header);
    if (dataLength < 0) {
        reason =
            "the length field of the header reads negative (" + std::to_string(dataLength) + ")";
        return false;
    }
    return true;
}

std::string truncatedReason(long announced, std::size_t present) {
    return "the header announces " + std::to_string(announced) + " data bytes but the file holds " +
           std::to_string(present);
}

// Closes a descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// The mode a new file gets here: that of the file it replaces, else what the umask allows.
mode_t modeForTarget(const std::filesystem::path& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

TagDataFile::LoadResult TagDataFile::load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return refused("cannot open " + path.string() + ": " + systemText(errno));
    }
    Bytes bytes(kHeaderLength);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(kHeaderLength));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    long dataLength = 0;
    std::string reason;
    if (!readAnnouncedLength(bytes, dataLength, reason)) {
        return refused(reason);
    }
    // The four-digit field caps the data at 9999 bytes, so this never reads more than
    // the format allows, however large the file is.
    bytes.resize(kHeaderLength + static_cast<std::size_t>(dataLength));
    in.read(reinterpret_cast<char*>(bytes.data() + kHeaderLength), dataLength);
    const auto present = static_cast<std::size_t>(in.gcount());
    if (in.bad()) {
        return refused("cannot read " + path.string());
    }
    if (present < static_cast<std::size_t>(dataLength)) {
        return refused(truncatedReason(dataLength, present));
    }
    return LoadResult{true, std::move(bytes), {}};
}

TagDataFile::SaveResult TagDataFile::save(const std::filesystem::path& path,
                                          std::span<const std::uint8_t> bytes) {
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor temporary(::mkstemp(pattern.data()));
    if (temporary.get() < 0) {
        return {false, "cannot create a file in " + folder.string() + ": " + systemText(errno)};
    }
    const std::string temporaryPath = pattern;
    auto failed = [&](const std::string& what) {
        const int error = errno;
        ::unlink(temporaryPath.c_str());
        return SaveResult{false, what + " " + path.string() + ": " + systemText(error)};
    };
    if (::fchmod(temporary.get(), modeForTarget(path)) != 0) {
        return failed("cannot set the permissions of");
    }
    if (!writeAll(temporary.get(), bytes)) {
        return failed("cannot write");
    }
    if (::fsync(temporary.get()) != 0) {
        return failed("cannot flush");
    }
    if (::close(temporary.release()) != 0) {
        return failed("cannot close");
    }
    if (::rename(temporaryPath.c_str(), path.c_str()) != 0) {
        return failed("cannot replace");
    }
    return {true, {}};
}

}  // namespace dravolin
