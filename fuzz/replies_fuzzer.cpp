// The checks of the device's directory and file replies, on any bytes, and on replies
// built the way the device builds them.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "protocol/frames.h"
#include "protocol/replies.h"

using namespace dravolin;
using dravolin::fuzz::require;

namespace {

using ByteSpan = std::span<const std::uint8_t>;

std::string fourDigits(long value) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04ld", value);
    return digits;
}

// What the checks must conclude, worked out here from the layout of the replies.
ReplyVerdict expectedVerdict(ByteSpan received, std::size_t headerLength, std::size_t fieldAt,
                             long limit, std::size_t unit, long& field) {
    field = 0;
    if (received.size() < headerLength) {
        return ReplyVerdict::Incomplete;
    }
    field = fuzz::referenceDecimal(received.subspan(fieldAt, 4));
    if (field < 0 || field > limit) {
        return ReplyVerdict::UnusableField;
    }
    const std::size_t length = headerLength + unit * static_cast<std::size_t>(field) + 1;
    if (received.size() < length) {
        return ReplyVerdict::Incomplete;
    }
    return fuzz::referenceXor(received.first(length - 1)) == received[length - 1]
               ? ReplyVerdict::Accepted
               : ReplyVerdict::WrongCheckByte;
}

void checkAnyDirectoryReply(ByteSpan received) {
    long count = 0;
    const ReplyVerdict expected = expectedVerdict(received, 16, 12, 15, 16, count);
    const DirectoryReply reply = checkDirectoryReply(received);
    require(reply.verdict == expected, "the directory verdict follows the layout");
    require(reply.count == count, "the directory count is the header's");
    if (reply.verdict != ReplyVerdict::Accepted) {
        require(reply.names.empty(), "a refused directory lists no names");
        return;
    }
    require(reply.names.size() == static_cast<std::size_t>(count), "one name per entry");
    for (std::size_t i = 0; i < reply.names.size(); ++i) {
        const ByteSpan entry = received.subspan(16 + 16 * i, 8);
        require(std::equal(entry.begin(), entry.end(), reply.names[i].begin()),
                "each name is the first eight bytes of its entry, verbatim");
    }
}

void checkAnyFileReply(ByteSpan received) {
    long length = 0;
    const ReplyVerdict expected = expectedVerdict(received, 8, 4, 9999, 1, length);
    const FileReply reply = checkFileReply(received);
    require(reply.verdict == expected, "the file verdict follows the layout");
    require(reply.dataLength == length, "the data length is the header's");
    if (reply.verdict != ReplyVerdict::Accepted) {
        require(reply.file.empty(), "a refused file reply yields no file");
        return;
    }
    require(reply.file.data() == received.data() &&
                reply.file.size() == 8 + static_cast<std::size_t>(length),
            "the file is the reply's header and data, without the check byte");
}

// A directory reply as the device builds it, parsed back; then one byte of it damaged.
void checkBuiltDirectory(FuzzedDataProvider& input) {
    const long count = input.ConsumeIntegralInRange<long>(0, 15);
    Bytes reply = input.ConsumeBytes<std::uint8_t>(12);
    reply.resize(12, ' ');
    const std::string field = fourDigits(count);
    reply.insert(reply.end(), field.begin(), field.end());
    for (long i = 0; i < count; ++i) {
        Bytes entry = input.ConsumeBytes<std::uint8_t>(16);
        entry.resize(16, 0);
        reply.insert(reply.end(), entry.begin(), entry.end());
    }
    reply.push_back(fuzz::referenceXor(reply));

    const DirectoryReply parsed = checkDirectoryReply(reply);
    require(parsed.verdict == ReplyVerdict::Accepted && parsed.count == count,
            "a directory reply as the device builds it is accepted");
    for (long i = 0; i < count; ++i) {
        const auto at = reply.begin() + 16 + 16 * i;
        require(std::equal(at, at + 8, parsed.names[static_cast<std::size_t>(i)].begin()),
                "the names read back are the names built in");
    }
    // A damaged byte outside the count field is always caught by the check byte.
    const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(0, reply.size() - 1);
    const auto damage = input.ConsumeIntegralInRange<std::uint8_t>(1, 255);
    if (at < 12 || at >= 16) {
        reply[at] ^= damage;
        const DirectoryReply damaged = checkDirectoryReply(reply);
        require(damaged.verdict == ReplyVerdict::WrongCheckByte && damaged.names.empty(),
                "a directory reply with one damaged byte is refused");
    }
}

// A file reply as the device builds it, parsed back; then cut short or damaged.
void checkBuiltFile(FuzzedDataProvider& input) {
    const long length = input.ConsumeIntegralInRange<long>(0, 9999);
    Bytes reply = input.ConsumeBytes<std::uint8_t>(4);
    reply.resize(4, '0');
    const std::string field = fourDigits(length);
    reply.insert(reply.end(), field.begin(), field.end());
    Bytes data = input.ConsumeBytes<std::uint8_t>(static_cast<std::size_t>(length));
    data.resize(static_cast<std::size_t>(length), 0x5A);
    reply.insert(reply.end(), data.begin(), data.end());
    const Bytes file = reply;
    reply.push_back(fuzz::referenceXor(reply));

    const FileReply parsed = checkFileReply(reply);
    require(parsed.verdict == ReplyVerdict::Accepted && parsed.dataLength == length &&
                std::equal(parsed.file.begin(), parsed.file.end(), file.begin(), file.end()),
            "a file reply as the device builds it gives back the file it was built from");

    const std::size_t cut = input.ConsumeIntegralInRange<std::size_t>(1, reply.size());
    const FileReply shortened = checkFileReply(std::span(reply).first(reply.size() - cut));
    require(shortened.verdict == ReplyVerdict::Incomplete && shortened.file.empty(),
            "a file reply short of any byte is incomplete");

    const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(0, reply.size() - 1);
    const auto damage = input.ConsumeIntegralInRange<std::uint8_t>(1, 255);
    if (at < 4 || at >= 8) {
        reply[at] ^= damage;
        const FileReply damaged = checkFileReply(reply);
        require(damaged.verdict == ReplyVerdict::WrongCheckByte && damaged.file.empty(),
                "a file reply with one damaged byte is refused");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const ByteSpan received(data + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            // Whatever arrived, as the PC sees it after its go-ahead.
            checkAnyDirectoryReply(received);
            checkAnyFileReply(received);
            break;
        case 1: {
            FuzzedDataProvider input(received.data(), received.size());
            checkBuiltDirectory(input);
            break;
        }
        default: {
            FuzzedDataProvider input(received.data(), received.size());
            checkBuiltFile(input);
            break;
        }
    }
    return 0;
}
