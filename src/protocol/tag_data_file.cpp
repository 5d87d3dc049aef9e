#include "protocol/tag_data_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "protocol/regular_file.h"
#include "protocol/unique_fd.h"

namespace dravolin {

namespace {

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

// Reads up to bytes.size() bytes; how many came, or nothing on a read error.
std::optional<std::size_t> readUpTo(int fd, std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace

TagDataFile::LoadResult TagDataFile::load(const std::filesystem::path& path) {
    std::string reason;
    const UniqueFd file = openRegularFile(path, reason);
    if (!file.isOpen()) {
        return refused(reason);
    }
    Bytes bytes(kHeaderLength);
    const std::optional<std::size_t> headerRead = readUpTo(file.get(), bytes);
    if (!headerRead) {
        return refused("cannot read " + path.string() + ": " + std::strerror(errno));
    }
    bytes.resize(*headerRead);
    long dataLength = 0;
    if (!readAnnouncedLength(bytes, dataLength, reason)) {
        return refused(reason);
    }
    // The four-digit field caps the data at 9999 bytes, so this never reads more than
    // the format allows, however large the file is.
    bytes.resize(kHeaderLength + static_cast<std::size_t>(dataLength));
    const std::optional<std::size_t> present =
        readUpTo(file.get(), std::span(bytes).subspan(kHeaderLength));
    if (!present) {
        return refused("cannot read " + path.string() + ": " + std::strerror(errno));
    }
    if (*present < static_cast<std::size_t>(dataLength)) {
        return refused(truncatedReason(dataLength, *present));
    }
    return LoadResult{true, std::move(bytes), {}};
}

TagDataFile::SaveResult TagDataFile::save(const std::filesystem::path& path,
                                          std::span<const std::uint8_t> bytes,
                                          FileSaver::IfExists ifExists) {
    return FileSaver::save(path, bytes, ifExists);
}

}  // namespace dravolin
