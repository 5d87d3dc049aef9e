#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/frames.h"

// The checks a whole data reply from the device must pass before anything in it is used:
// the field that sizes it reads as a number the buffers can take, every byte it announces
// is there, and its check byte matches. Bytes beyond the announced length are not looked
// at. Nothing here waits or keeps state, so the exchange calls these once a reply is in.
namespace dravolin {

using DeviceNameField = std::array<std::uint8_t, kNameLength>;

enum class ReplyVerdict {
    Accepted,
    UnusableField,  // count or length outside what the buffers and waits take
    Incomplete,     // fewer bytes than the header announces, or no whole header
    WrongCheckByte,
};

struct DirectoryReply {
    ReplyVerdict verdict = ReplyVerdict::Incomplete;
    long count = 0;                      // as read from the header (0 without one)
    std::vector<DeviceNameField> names;  // the entries' names; empty unless accepted
};

struct FileReply {
    ReplyVerdict verdict = ReplyVerdict::Incomplete;
    long dataLength = 0;                 // as read from the header (0 without one)
    std::span<const std::uint8_t> file;  // header and data, no check byte; empty unless accepted
};

// A directory of up to `largestCount` entries is read; the list holds 15.
DirectoryReply checkDirectoryReply(std::span<const std::uint8_t> received,
                                   long largestCount = static_cast<long>(kMaxDirectoryEntries));
FileReply checkFileReply(std::span<const std::uint8_t> received);
// A name as the device sent it, up to its first NUL.
std::string nameOf(const DeviceNameField& field);

}  // namespace dravolin
