#include "protocol/reply_waits.h"

#include <gtest/gtest.h>

#include <utility>

namespace dravolin {
namespace {

// Each wait covers the line time of what it waits for plus the allowance, and never
// falls below the protocol's own time-out for its phase.
TEST(ReplyWaits, EveryPhaseCoversItsLineTimeAndKeepsTheProtocolTimeOutAsAFloor) {
    // A line and the bits each byte takes on it.
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
            EXPECT_GE(directoryEntriesWaitMs(entries, line), 600 * entries);
            EXPECT_GE(directoryEntriesWaitMs(entries, line),
                      lineTimeMs(16 * entries + 1, line) + kDeviceAndAdapterAllowanceMs);
        }
        EXPECT_EQ(statusWaitMs(18, line), 1000);
        EXPECT_EQ(directoryHeaderWaitMs(line), 1000);
        EXPECT_EQ(fileHeaderWaitMs(line), 1000);
    }

    // Two-byte data frame and two-byte status at 9600 8E1: 44 bits each way, 5 ms of line
    // time, which the old floor of 10 ms left almost nothing of. 9999 bytes take 11.5 s on
    // the line: the old 10 ms a byte stays.
    const LineTiming line{9600, 'E', 1};
    EXPECT_EQ(lineTimeMs(4, line), 5);
    EXPECT_EQ(dataStatusWaitMs(0, line), 5 + kDeviceAndAdapterAllowanceMs);
    EXPECT_EQ(dataStatusWaitMs(9999, line), 99990);
    EXPECT_EQ(lineTimeMs(9999, line), 11458);
}

}  // namespace
}  // namespace dravolin
