#include "protocol/replies.h"

#include <algorithm>

namespace dravolin {

namespace {

// The verdict on a reply of `length` bytes, check byte included, once its header is read.
ReplyVerdict judgeWholeReply(std::span<const std::uint8_t> received, std::size_t length) {
    if (received.size() < length) {
        return ReplyVerdict::Incomplete;
    }
    return checkByteMatches(received, length - 1) ? ReplyVerdict::Accepted
                                                  : ReplyVerdict::WrongCheckByte;
}

}  // namespace

std::string nameOf(const DeviceNameField& field) {
    return std::string(field.begin(), std::find(field.begin(), field.end(), 0));
}

DirectoryReply checkDirectoryReply(std::span<const std::uint8_t> received, long largestCount) {
    DirectoryReply reply;
    if (received.size() < kDirectoryHeaderLength) {
        return reply;
    }
    reply.count = directoryCount(received);
    if (reply.count < 0 || reply.count > largestCount) {
        reply.verdict = ReplyVerdict::UnusableField;
        return reply;
    }
    reply.verdict = judgeWholeReply(received, directoryReplyLength(reply.count));
    if (reply.verdict != ReplyVerdict::Accepted) {
        return reply;
    }
    for (long entry = 0; entry < reply.count; ++entry) {
        const auto first = received.subspan(
            kDirectoryHeaderLength + kDirectoryEntryLength * static_cast<std::size_t>(entry),
            kNameLength);
        DeviceNameField name{};
        std::copy(first.begin(), first.end(), name.begin());
        reply.names.push_back(name);
    }
    return reply;
}

FileReply checkFileReply(std::span<const std::uint8_t> received) {
    FileReply reply;
    if (received.size() < kHeaderLength) {
        return reply;
    }
    reply.dataLength = fileDataLength(received);
    if (!isUsableDataLength(reply.dataLength)) {
        reply.verdict = ReplyVerdict::UnusableField;
        return reply;
    }
    const std::size_t length = fileReplyLength(reply.dataLength);
    reply.verdict = judgeWholeReply(received, length);
    if (reply.verdict == ReplyVerdict::Accepted) {
        reply.file = received.first(length - 1);
    }
    return reply;
}

}  // namespace dravolin
