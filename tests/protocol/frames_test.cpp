// The waits for frames, and the tag-data files they carry; the frames themselves are the
// conformance table's (tests/exchange).

#include "protocol/frames.h"
#include "protocol/reply_waits.h"
#include "protocol/tag_data_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "support/test_folder.h"

namespace dravolin {
namespace {

using test::bytesOf;

// The header and the data it announces are loaded, through a link too; a malformed file is
// refused with the reason (a FIFO is the window's and the CLI's case).
TEST(TagDataFile, LoadsHeaderAndAnnouncedDataOnlyAndRefusesMalformedFilesSayingWhy) {
    const test::TestFolder folder;
    // The file's content, what is loaded (empty: refused) and why.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"HDR 0005hello", "HDR 0005hello", ""},
        {"abcd0012" + std::string(12, 'd') + "EXTRA", "abcd0012" + std::string(12, 'd'), ""},
        {"abcd0000", "abcd0000", ""},
        {"abcdxyzwDATA", "abcdxyzw", ""},  // no digits: length 0
        {"", "", "shorter than its 8-byte header"},
        {"abcd001", "", "shorter than its 8-byte header"},
        {"abcd-012xxxxxxxxxxxxx", "", "negative"},
        {"abcd0012short", "", "announces 12 data bytes but the file holds 5"},
    };
    for (const auto& [content, loaded, reason] : cases) {
        const auto result = TagDataFile::load(folder.write("a.tiv", content));
        if (loaded.empty()) {
            EXPECT_FALSE(result.ok) << content;
            EXPECT_TRUE(result.bytes.empty());
            EXPECT_NE(result.reason.find(reason), std::string::npos) << result.reason;
        } else {
            ASSERT_TRUE(result.ok) << result.reason;
            EXPECT_EQ(result.bytes, bytesOf(loaded));
        }
    }
    folder.write("a.tiv", "abcd0001x");
    std::filesystem::create_symlink("a.tiv", folder.path() / "link.tiv");
    const auto throughLink = TagDataFile::load(folder.path() / "link.tiv");
    ASSERT_TRUE(throughLink.ok) << throughLink.reason;
    EXPECT_EQ(throughLink.bytes, bytesOf("abcd0001x"));
    const auto missing = TagDataFile::load(folder.path() / "missing.tiv");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.reason.find("No such file"), std::string::npos) << missing.reason;
}

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
        EXPECT_EQ(stallGapMs(line), 1000);  // twenty byte times are less at every rate offered
    }
    EXPECT_EQ(stallGapMs(LineTiming{110, 'E', 2}), 2182);  // at 110 baud they are more

    // Two-byte frame and status at 9600 8E1: 5 ms of line time; 9999 bytes keep 10 ms a byte.
    const LineTiming line{9600, 'E', 1};
    EXPECT_EQ(lineTimeMs(4, line), 5);
    EXPECT_EQ(dataStatusWaitMs(0, line), 5 + kDeviceAndAdapterAllowanceMs);
    EXPECT_EQ(dataStatusWaitMs(9999, line), 99990);
    EXPECT_EQ(dataStatusWaitMs(100, line), 1000);
    EXPECT_EQ(fileDataWaitMs(9999, line), 50 * 9999 + 50);
}

}  // namespace
}  // namespace dravolin
