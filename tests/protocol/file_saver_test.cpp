#include "protocol/file_saver.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/special_files.h"
#include "support/test_folder.h"

namespace dravolin {
namespace {

namespace fs = std::filesystem;
using test::kindAt;

const std::string kContent = "NEW 0003abc";

// A save over whatever already is at the target path: what must be replaced is replaced
// whole, everything else stays exactly as it was and no temporary file is left behind.
class SaveOverWhatIsThere : public ::testing::Test {
protected:
    FileSaver::Result save(const fs::path& path) {
        const std::span bytes(reinterpret_cast<const std::uint8_t*>(kContent.data()),
                              kContent.size());
        return FileSaver::save(path, bytes, FileSaver::IfExists::Replace);
    }
    fs::path at(const std::string& name) const { return folder.path() / name; }

    test::TestFolder folder;
};

TEST_F(SaveOverWhatIsThere, ALinkIsFollowedAndStaysALinkAndALoopFails) {
    folder.write("real.tiv", "old");
    fs::create_symlink("real.tiv", at("link.tiv"));
    // A chain into other folders: relative with a folder part, then absolute.
    fs::create_directories(at("sub"));
    fs::create_directories(at("other"));
    folder.write("other/far.tiv", "old far");
    fs::create_symlink(at("other/far.tiv"), at("sub/middle"));
    fs::create_symlink("sub/middle", at("chain.tiv"));
    // A link to nothing yet: the file it names is made.
    fs::create_symlink("made.tiv", at("dangling.tiv"));

    for (const auto& [link, named] :
         {std::pair{"link.tiv", "real.tiv"}, std::pair{"chain.tiv", "other/far.tiv"},
          std::pair{"dangling.tiv", "made.tiv"}}) {
        const auto result = save(at(link));
        ASSERT_TRUE(result.ok) << link << ": " << result.reason;
        EXPECT_EQ(kindAt(at(link)), "link") << link;
        EXPECT_EQ(folder.read(named), kContent) << named;
    }
    EXPECT_EQ(folder.listing(), "chain.tiv dangling.tiv link.tiv made.tiv other real.tiv sub");
    EXPECT_EQ(folder.listing("other"), "far.tiv");
    EXPECT_EQ(kindAt(at("sub/middle")), "link");

    // A loop fails and makes nothing.
    fs::create_symlink("loop-b.tiv", at("loop-a.tiv"));
    fs::create_symlink("loop-a.tiv", at("loop-b.tiv"));
    const auto result = save(at("loop-a.tiv"));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("Too many levels of symbolic links"), std::string::npos)
        << result.reason;
    EXPECT_EQ(folder.listing(),
              "chain.tiv dangling.tiv link.tiv loop-a.tiv loop-b.tiv made.tiv "
              "other real.tiv sub");
}

TEST_F(SaveOverWhatIsThere, WhatIsNotARegularFileIsLeftAlone) {
    fs::create_directories(at("folder.tiv/inside"));
    test::makeFifo(at("fifo.tiv"));
    const UniqueFd socket = test::makeSocket(at("socket.tiv"));
    fs::create_symlink("fifo.tiv", at("to-fifo.tiv"));
    const std::string before = folder.listing();

    const struct {
        const char* name;
        const char* reason;
        const char* kindAfter;
    } cases[] = {
        {"folder.tiv", "folder.tiv is a folder, not a regular file", "folder"},
        {"fifo.tiv", "fifo.tiv is a FIFO, not a regular file", "fifo"},
        {"socket.tiv", "socket.tiv is a socket, not a regular file", "socket"},
        {"to-fifo.tiv", "to-fifo.tiv is a FIFO, not a regular file", "link"},
        {"folder.tiv/", "is a folder, not a regular file", "folder"},
    };
    for (const auto& c : cases) {
        const auto result = save(at(c.name));
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
        EXPECT_EQ(kindAt(at(c.name)), c.kindAfter) << c.name;
    }
    EXPECT_EQ(folder.listing(), before);
    EXPECT_EQ(folder.listing("folder.tiv"), "inside");
}

// Read-only is the mode without a write bit; it binds whoever saves, administrators too.
TEST_F(SaveOverWhatIsThere, AReadOnlyFileIsLeftAlone) {
    for (const auto mode : {fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                            fs::perms::owner_read, fs::perms::none}) {
        const fs::path path = folder.write("ro.tiv", "precious");
        fs::permissions(path, mode);
        const auto result = save(path);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find("ro.tiv is read-only"), std::string::npos) << result.reason;
        fs::permissions(path, fs::perms::owner_all);
        EXPECT_EQ(folder.read("ro.tiv"), "precious");
        EXPECT_EQ(folder.listing(), "ro.tiv");
    }
}

TEST_F(SaveOverWhatIsThere, AFileIsReplacedWholeInItsModeAndNewFilesGetWhatTheUmaskLeaves) {
    const fs::path path = folder.write("old.tiv", std::string(500, 'o'));
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, mode);
    ASSERT_TRUE(save(path).ok);
    EXPECT_EQ(folder.read("old.tiv"), kContent);
    EXPECT_EQ(fs::status(path).permissions(), mode);
    EXPECT_EQ(folder.listing(), "old.tiv");

    const mode_t previous = ::umask(027);
    const auto result = save(at("new.tiv"));
    ::umask(previous);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(fs::status(at("new.tiv")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const auto missingFolder = save(at("no/x.tiv"));
    EXPECT_FALSE(missingFolder.ok);
    EXPECT_NE(missingFolder.reason.find("No such file"), std::string::npos) << missingFolder.reason;
}

// The temporary file must not make a legal target too long.
TEST_F(SaveOverWhatIsThere, LongestNameAndPathAreSaved) {
    const fs::path longestName = at(std::string(NAME_MAX - 4, 'n') + ".tiv");
    auto result = save(longestName);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(folder.read(longestName.filename()), kContent);

    // Folders nested until the path holds PATH_MAX - 1 bytes, the most a path may have.
    fs::path deep = folder.path();
    std::size_t room = PATH_MAX - 1 - deep.string().size() - 1;
    while (room > NAME_MAX) {
        const std::size_t component = std::min<std::size_t>(200, room - 102);
        deep /= std::string(component, 'd');
        room -= component + 1;
    }
    fs::create_directories(deep);
    const fs::path longestPath = deep / std::string(room, 'p');
    ASSERT_EQ(longestPath.string().size(), std::size_t{PATH_MAX - 1});
    result = save(longestPath);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(folder.listing(fs::relative(deep, folder.path())), longestPath.filename().string());
}

}  // namespace
}  // namespace dravolin
