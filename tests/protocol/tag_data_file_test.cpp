#include "protocol/tag_data_file.h"
#include "protocol/frames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

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

TEST(BlockCheck, XorOfTheBytesIsWrittenBehindThem) {
    Bytes frame{0x10, 0x32, 0x07, 0xEE};
    EXPECT_EQ(blockCheck(frame, 3), 0x10 ^ 0x32 ^ 0x07);
    EXPECT_EQ(frame, (Bytes{0x10, 0x32, 0x07, 0x10 ^ 0x32 ^ 0x07}));
    Bytes empty{0xAB};
    EXPECT_EQ(blockCheck(empty, 0), 0x00);
    EXPECT_EQ(empty[0], 0x00);
    // A check byte beyond the bytes received fails without reading past them.
    EXPECT_TRUE(checkByteMatches(frame, 3));
    EXPECT_FALSE(checkByteMatches(frame, frame.size()));
}

TEST(DecimalField, ReadsAsStrtolAndLeavesTheBufferAlone) {
    const std::pair<std::string, long> fields[] = {{"0012", 12},   {"  12", 12},  {"12ab", 12},
                                                   {"abcd", 0},    {"-012", -12}, {"+034", 34},
                                                   {"9999", 9999}, {"1 23", 1}};
    for (const auto& [text, value] : fields) {
        // The field sits at 4..7 with a digit right behind it that must not be read.
        const Bytes buffer = bytesOf("HDR:" + text + "9tail");
        const Bytes before = buffer;
        EXPECT_EQ(readDecimalField(buffer, 4, 8), value) << text;
        EXPECT_EQ(buffer, before);
    }
}

}  // namespace
}  // namespace dravolin
