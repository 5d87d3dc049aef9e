#include "protocol/reply_waits.h"

#include <gtest/gtest.h>

#include <utility>

namespace dravolin {
namespace {

TEST(ReplyWaits, EveryPhaseCoversItsLineTimeAndKeepsTheProtocolTimeOutAsAFloor) {
    // A line and the bits each byte takes on it; each wait covers the line time of what it
    // waits for plus the allowance, and never falls below the old time-out for its phase.
    const std::pair<LineTiming, int> rows[] = {{{9600, 'E', 1}, 11},
                                               {{9600, 'N', 1}, 10},
                                               {{19200, 'O', 2}, 12},
                                               {{38400, 'N', 2}, 11},
                                               {{57600, 'E', 1}, 11}};
    for (const auto& [line, bits] : rows) {
        SCOPED_TRACE(line.baudRate);
        EXPECT_EQ(bitsPerByte(line), bits);
        for (int length : {0, 1, 100, 1000, 9999}) {
            SCOPED_TRACE(length);
            const int data = dataStatusWaitMs(length, line);
            EXPECT_GE(data, 10 * length);
            EXPECT_GE(data, lineTimeMs(length + 4, line) + kDeviceAndAdapterAllowanceMs);
            const int file = fileDataWaitMs(length, line);
            EXPECT_GE(file, 50 * length + 50);
            EXPECT_GE(file, lineTimeMs(length + 1, line) + kDeviceAndAdapterAllowanceMs);
        }
        for (int entries : {0, 1, 15}) {
            const int listing = directoryEntriesWaitMs(entries, line);
            EXPECT_GE(listing, 600 * entries);
            EXPECT_GE(listing, lineTimeMs(16 * entries + 1, line) + kDeviceAndAdapterAllowanceMs);
        }
        EXPECT_EQ(statusWaitMs(18, line), 1000);
        EXPECT_EQ(directoryHeaderWaitMs(line), 1000);
        EXPECT_EQ(fileHeaderWaitMs(line), 1000);
    }

    // Two-byte frame and status at 9600 8E1: 5 ms of line time; 9999 bytes keep 10 ms a byte.
    const LineTiming line{9600, 'E', 1};
    EXPECT_EQ(lineTimeMs(4, line), 5);
    EXPECT_EQ(dataStatusWaitMs(0, line), 5 + kDeviceAndAdapterAllowanceMs);
    EXPECT_EQ(dataStatusWaitMs(9999, line), 99990);
    EXPECT_EQ(lineTimeMs(9999, line), 11458);
}

}  // namespace
}  // namespace dravolin
