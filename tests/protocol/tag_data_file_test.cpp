#include "protocol/tag_data_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "support/test_folder.h"

namespace dravolin {
namespace {

using test::bytesOf;

// The header and the data it announces are loaded, nothing behind them, through a link too;
// a malformed file is refused with the reason. (That only a regular file is loaded, and
// without waiting, is tested where a FIFO used to freeze the window and the CLI.)
TEST(TagDataFile, LoadsHeaderAndAnnouncedDataOnlyAndRefusesMalformedFilesSayingWhy) {
    const test::TestFolder folder;
    // The file's content, what is loaded (empty: refused) and the reason for a refusal.
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

}  // namespace
}  // namespace dravolin
