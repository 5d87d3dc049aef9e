#include "protocol/frames.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <string>

namespace dravolin {

std::uint8_t xorOf(std::span<const std::uint8_t> bytes) {
    std::uint8_t check = 0;
    for (std::uint8_t byte : bytes) {
        check ^= byte;
    }
    return check;
}

std::uint8_t blockCheck(std::span<std::uint8_t> buffer, std::size_t length) {
    assert(length < buffer.size());
    const std::uint8_t check = xorOf(buffer.first(length));
    buffer[length] = check;
    return check;
}

long readDecimalField(std::span<const std::uint8_t> buffer, std::size_t start, std::size_t end) {
    end = std::min(end, buffer.size());
    if (start >= end) {
        return 0;
    }
    // A terminated copy gives strtol its stop at `end` without touching the caller's buffer.
    const std::string field(buffer.begin() + static_cast<std::ptrdiff_t>(start),
                            buffer.begin() + static_cast<std::ptrdiff_t>(end));
    return std::strtol(field.c_str(), nullptr, 10);
}

bool checkByteMatches(std::span<const std::uint8_t> reply, std::size_t length) {
    if (length >= reply.size()) {
        return false;
    }
    return xorOf(reply.first(length)) == reply[length];
}

Bytes directoryRequest() {
    Bytes frame{kDirectoryCommand, 0};
    blockCheck(frame, 1);
    return frame;
}

Bytes fetchRequest(std::span<const std::uint8_t> name) {
    Bytes frame(kFetchRequestLength, ' ');
    frame[0] = kFetchCommand;
    std::copy_n(name.begin(), std::min(name.size(), kNameLength), frame.begin() + 1);
    blockCheck(frame, kFetchRequestLength - 1);
    return frame;
}

Bytes transferAnnouncement(std::string_view deviceName, std::span<const std::uint8_t> header) {
    Bytes frame(kAnnouncementLength, ' ');
    frame[0] = kTransferCommand;
    std::copy_n(deviceName.begin(), std::min(deviceName.size(), kNameLength), frame.begin() + 1);
    std::copy_n(header.begin(), std::min(header.size(), kHeaderLength),
                frame.begin() + 1 + kNameLength);
    blockCheck(frame, kAnnouncementLength - 1);
    return frame;
}

Bytes goAhead() {
    return Bytes{kStx};
}

Bytes dataFrame(std::span<const std::uint8_t> data) {
    Bytes frame(data.size() + 2);
    frame[0] = kStx;
    std::copy(data.begin(), data.end(), frame.begin() + 1);
    blockCheck(frame, data.size() + 1);
    return frame;
}

char statusLetter(std::span<const std::uint8_t> reply) {
    return reply.size() >= kStatusReplyLength ? static_cast<char>(reply[1]) : '\0';
}

long directoryCount(std::span<const std::uint8_t> directoryHeader) {
    return readDecimalField(directoryHeader, 12, 16);
}

long fileDataLength(std::span<const std::uint8_t> fileHeader) {
    return readDecimalField(fileHeader, 4, 8);
}

std::size_t directoryReplyLength(long count) {
    return kDirectoryEntryLength * static_cast<std::size_t>(count + 1) + 1;
}

std::size_t fileReplyLength(long dataLength) {
    return static_cast<std::size_t>(dataLength) + kHeaderLength + 1;
}

bool isUsableDataLength(long dataLength) {
    return dataLength >= 0 && dataLength <= kMaxDataLength;
}

}  // namespace dravolin
