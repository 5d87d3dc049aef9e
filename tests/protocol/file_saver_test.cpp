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

// A save over whatever is at the target path; no temporary file is left behind.
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

TEST_F(SaveOverWhatIsThere, WhatMustBeReplacedIsReplacedWholeAndAllElseLeftAsItWas) {
    using enum fs::perms;
    // Links: in this folder, a chain (relative, then absolute), one to nothing yet and a loop.
    folder.write("real.tiv", "old");
    fs::create_symlink("real.tiv", at("link.tiv"));
    fs::create_directories(at("sub"));
    fs::create_directories(at("other"));
    folder.write("other/far.tiv", "old far");
    fs::create_symlink(at("other/far.tiv"), at("sub/middle"));
    fs::create_symlink("sub/middle", at("chain.tiv"));
    fs::create_symlink("made.tiv", at("dangling.tiv"));
    fs::create_symlink("loop-b.tiv", at("loop-a.tiv"));
    fs::create_symlink("loop-a.tiv", at("loop-b.tiv"));
    // Not regular files; read-only ones (binding administrators too); one in a mode of its own.
    fs::create_directories(at("folder.tiv/inside"));
    test::makeFifo(at("fifo.tiv"));
    const UniqueFd socket = test::makeSocket(at("socket.tiv"));
    fs::create_symlink("fifo.tiv", at("to-fifo.tiv"));
    const char* readOnly[] = {"ro-all.tiv", "ro-owner.tiv", "ro-none.tiv"};
    const fs::perms readOnlyModes[] = {owner_read | group_read | others_read, owner_read, none};
    for (int i = 0; i < 3; ++i) {
        fs::permissions(folder.write(readOnly[i], "precious"), readOnlyModes[i]);
    }
    const fs::perms ownMode = owner_read | owner_write | group_read;
    fs::permissions(folder.write("old.tiv", std::string(500, 'o')), ownMode);

    const struct {
        const char* name;
        const char* refusal;  // null when saved
        const char* kindAfter;
        const char* written = nullptr;  // the file that then holds the new content
    } cases[] = {
        {"link.tiv", nullptr, "link", "real.tiv"},
        {"chain.tiv", nullptr, "link", "other/far.tiv"},
        {"dangling.tiv", nullptr, "link", "made.tiv"},
        {"old.tiv", nullptr, "file", "old.tiv"},
        {"loop-a.tiv", "Too many levels of symbolic links", "link"},
        {"folder.tiv", "folder.tiv is a folder, not a regular file", "folder"},
        {"fifo.tiv", "fifo.tiv is a FIFO, not a regular file", "fifo"},
        {"socket.tiv", "socket.tiv is a socket, not a regular file", "socket"},
        {"to-fifo.tiv", "to-fifo.tiv is a FIFO, not a regular file", "link"},
        {"folder.tiv/", "is a folder, not a regular file", "folder"},
        {"ro-all.tiv", "ro-all.tiv is read-only", "file"},
        {"ro-owner.tiv", "ro-owner.tiv is read-only", "file"},
        {"ro-none.tiv", "ro-none.tiv is read-only", "file"},
        {"no/x.tiv", "No such file", "nothing"},
    };
    for (const auto& c : cases) {
        const auto result = save(at(c.name));
        EXPECT_EQ(result.ok, c.refusal == nullptr) << c.name << ": " << result.reason;
        if (c.refusal != nullptr) {
            EXPECT_NE(result.reason.find(c.refusal), std::string::npos) << result.reason;
        } else {
            EXPECT_EQ(folder.read(c.written), kContent) << c.written;
        }
        EXPECT_EQ(kindAt(at(c.name)), c.kindAfter) << c.name;
    }
    EXPECT_EQ(fs::status(at("old.tiv")).permissions(), ownMode);
    EXPECT_EQ(folder.listing(),
              "chain.tiv dangling.tiv fifo.tiv folder.tiv link.tiv loop-a.tiv loop-b.tiv made.tiv "
              "old.tiv other real.tiv ro-all.tiv ro-none.tiv ro-owner.tiv socket.tiv sub "
              "to-fifo.tiv");
    EXPECT_EQ(folder.listing("other"), "far.tiv");
    EXPECT_EQ(folder.listing("folder.tiv"), "inside");
    EXPECT_EQ(kindAt(at("sub/middle")), "link");
    for (const char* name : readOnly) {
        fs::permissions(at(name), owner_all);
        EXPECT_EQ(folder.read(name), "precious");
    }

    // New files get what the umask leaves.
    const mode_t previous = ::umask(027);
    const auto result = save(at("new.tiv"));
    ::umask(previous);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(fs::status(at("new.tiv")).permissions(), ownMode);
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

    // A link to it: the link's text is as long as a path can be, and is read whole.
    ASSERT_TRUE(fs::remove(longestPath));
    fs::create_symlink(longestPath, at("far.tiv"));
    result = save(at("far.tiv"));
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(kindAt(at("far.tiv")), "link");
    EXPECT_EQ(folder.listing(fs::relative(deep, folder.path())), longestPath.filename().string());
}

}  // namespace
}  // namespace dravolin
