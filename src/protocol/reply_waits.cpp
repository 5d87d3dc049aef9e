#include "protocol/reply_waits.h"

#include <algorithm>
#include <cstdint>

#include "protocol/frames.h"

namespace dravolin {

namespace {

constexpr int kStatusMs = 1000;
constexpr int kHeaderMs = 1000;
constexpr int kDirectoryMsPerEntry = 600;
constexpr int kFileMsPerByte = 50;
constexpr int kFileExtraMs = 50;
constexpr int kDataMsPerByte = 10;
constexpr int kGoAheadBytes = 1;
constexpr int kCheckByte = 1;
constexpr int kDataFrameExtraBytes = 2;  // STX and the check byte
constexpr int kShortestStallMs = 1000;
constexpr std::size_t kStallBytes = 20;

}  // namespace

int bitsPerByte(const LineTiming& line) {
    const int parityBits = line.parity == 'N' ? 0 : 1;
    return 1 + 8 + parityBits + line.stopBits;
}

int lineTimeMs(std::size_t bytes, const LineTiming& line) {
    const std::int64_t bits = static_cast<std::int64_t>(bytes) * bitsPerByte(line);
    const std::int64_t baud = std::max(line.baudRate, 1);
    return static_cast<int>((bits * 1000 + baud - 1) / baud);
}

int replyWaitMs(int protocolMs, std::size_t bytesSent, std::size_t bytesExpected,
                const LineTiming& line) {
    const int lineMs = lineTimeMs(bytesSent + bytesExpected, line) + kDeviceAndAdapterAllowanceMs;
    return std::max({protocolMs, lineMs, kShortestWaitMs});
}

int statusWaitMs(std::size_t frameBytes, const LineTiming& line) {
    return replyWaitMs(kStatusMs, frameBytes, kStatusReplyLength, line);
}

int directoryHeaderWaitMs(const LineTiming& line) {
    return replyWaitMs(kHeaderMs, kGoAheadBytes, kDirectoryHeaderLength, line);
}

int directoryEntriesWaitMs(int entries, const LineTiming& line) {
    const int count = std::max(entries, 0);
    const auto expected = kDirectoryEntryLength * static_cast<std::size_t>(count) + kCheckByte;
    return replyWaitMs(kDirectoryMsPerEntry * count, 0, expected, line);
}

int fileHeaderWaitMs(const LineTiming& line) {
    return replyWaitMs(kHeaderMs, kGoAheadBytes, kHeaderLength, line);
}

int fileDataWaitMs(int dataLength, const LineTiming& line) {
    const int length = std::max(dataLength, 0);
    const auto expected = static_cast<std::size_t>(length + kCheckByte);
    return replyWaitMs(kFileMsPerByte * length + kFileExtraMs, 0, expected, line);
}

int dataStatusWaitMs(int dataLength, const LineTiming& line) {
    const int length = std::max(dataLength, 0);
    const auto sent = static_cast<std::size_t>(length + kDataFrameExtraBytes);
    return replyWaitMs(kDataMsPerByte * length, sent, kStatusReplyLength, line);
}

int stallGapMs(const LineTiming& line) {
    return std::max(kShortestStallMs, lineTimeMs(kStallBytes, line));
}

}  // namespace dravolin
