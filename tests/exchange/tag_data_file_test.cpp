#include "exchange/tag_data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace dravolin {
namespace {

namespace fs = std::filesystem;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

class TagDataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tiv-test-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }

    fs::path write(const std::string& name, const std::string& content) {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder_;
};

TEST_F(TagDataFileTest, LoadsHeaderAndAnnouncedData) {
    const auto result = TagDataFile::load(write("a.tiv", "HDR 0005hello"));
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.bytes, bytesOf("HDR 0005hello"));
}

TEST_F(TagDataFileTest, BytesBeyondTheAnnouncedLengthAreNotRead) {
    const auto result =
        TagDataFile::load(write("a.tiv", "abcd0012" + std::string(12, 'd') + "EXTRA"));
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.bytes.size(), 20u);
}

TEST_F(TagDataFileTest, LengthZeroIsJustTheHeader) {
    const auto result = TagDataFile::load(write("a.tiv", "abcd0000"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, bytesOf("abcd0000"));
}

TEST_F(TagDataFileTest, LengthFieldWithoutDigitsReadsAsZero) {
    const auto result = TagDataFile::load(write("a.tiv", "abcdxyzwDATA"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, bytesOf("abcdxyzw"));
}

TEST_F(TagDataFileTest, RefusesMalformedFiles) {
    struct Case {
        std::string content;
        std::string reasonPart;
    };
    const Case cases[] = {
        {"", "shorter than its 8-byte header"},
        {"abcd001", "shorter than its 8-byte header"},
        {"abcd-012xxxxxxxxxxxxx", "negative"},
        {"abcd0012short", "announces 12 data bytes but the file holds 5"},
    };
    for (const Case& c : cases) {
        const auto result = TagDataFile::load(write("bad.tiv", c.content));
        EXPECT_FALSE(result.ok) << c.content;
        EXPECT_TRUE(result.bytes.empty());
        EXPECT_NE(result.reason.find(c.reasonPart), std::string::npos) << result.reason;
    }
}

TEST_F(TagDataFileTest, RefusesAMissingFileAndSaysWhy) {
    const auto result = TagDataFile::load(folder_ / "missing.tiv");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("No such file"), std::string::npos) << result.reason;
}

TEST_F(TagDataFileTest, FromBytesAppliesTheSameRules) {
    EXPECT_TRUE(TagDataFile::fromBytes(bytesOf("abcd0002xyZZ")).ok);
    EXPECT_EQ(TagDataFile::fromBytes(bytesOf("abcd0002xyZZ")).bytes, bytesOf("abcd0002xy"));
    EXPECT_FALSE(TagDataFile::fromBytes(bytesOf("abcd0002x")).ok);
    EXPECT_FALSE(TagDataFile::fromBytes(bytesOf("abc")).ok);
}

TEST_F(TagDataFileTest, SaveThenLoadRoundTrip) {
    Bytes content = bytesOf("RT  0300");
    for (int i = 0; i < 300; ++i)
        content.push_back(static_cast<std::uint8_t>(i));
    const fs::path path = folder_ / "round.tiv";
    ASSERT_TRUE(TagDataFile::save(path, content).ok);
    const auto loaded = TagDataFile::load(path);
    ASSERT_TRUE(loaded.ok) << loaded.reason;
    EXPECT_EQ(loaded.bytes, content);
}

TEST_F(TagDataFileTest, SaveReplacesAnExistingFileWhole) {
    const fs::path path = write("old.tiv", std::string(500, 'o'));
    ASSERT_TRUE(TagDataFile::save(path, bytesOf("new 0001n")).ok);
    EXPECT_EQ(read(path), "new 0001n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 1);  // no temporary left
}

TEST_F(TagDataFileTest, SaveKeepsThePermissionsOfTheFileItReplaces) {
    const fs::path path = write("perm.tiv", "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(TagDataFile::save(path, bytesOf("abcd0000")).ok);
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(TagDataFileTest, FailedSaveLeavesTheOldFileExactlyAsItWas) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    const fs::path path = write("keep.tiv", "original content");
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    const auto result = TagDataFile::save(path, bytesOf("abcd0000"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.reason.empty());
    EXPECT_EQ(read(path), "original content");
}

TEST_F(TagDataFileTest, SaveIntoAMissingFolderFails) {
    const auto result = TagDataFile::save(folder_ / "no" / "such" / "x.tiv", bytesOf("abcd0000"));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("No such file"), std::string::npos) << result.reason;
}

TEST_F(TagDataFileTest, SaveOverAFolderFailsAndLeavesNoTemporary) {
    fs::create_directories(folder_ / "dir.tiv" / "inside");
    const auto result = TagDataFile::save(folder_ / "dir.tiv", bytesOf("abcd0000"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(fs::is_directory(folder_ / "dir.tiv" / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 1);
}

}  // namespace
}  // namespace dravolin
