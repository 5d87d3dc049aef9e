#include "core/settings_file.h"

#include <gtest/gtest.h>

#include <QString>

#include <filesystem>
#include <map>
#include <string>

#include "support/test_folder.h"

namespace dravolin {
namespace {

using test::TestFolder;

class SettingsFileTest : public ::testing::Test {
protected:
    QString path() const {
        return QString::fromStdString((folder.path() / "dravolin.conf").string());
    }
    SettingsFile loaded() const {
        SettingsFile file(path());
        file.load();
        return file;
    }
    static void expectDefaults(const SavedSettings& saved) {
        const PortSettings defaults;
        EXPECT_EQ(saved.line.port, defaults.port);
        EXPECT_EQ(saved.line.baudRate, defaults.baudRate);
        EXPECT_EQ(saved.line.parity, defaults.parity);
        EXPECT_EQ(saved.line.stopBits, defaults.stopBits);
        EXPECT_TRUE(saved.portDevices.empty());
        EXPECT_TRUE(saved.folders.empty());
    }

    TestFolder folder;
};

// The port, speed and device confirmed and the folders chosen coming back are the window's
// test of two runs over one settings file.
TEST_F(SettingsFileTest, WhatWasConfirmedComesBackAtTheNextStartBesideOthersKeys) {
    // No file means the defaults without a word, and no file made.
    EXPECT_EQ(loaded().warning(), "");
    expectDefaults(loaded().settings());
    EXPECT_FALSE(folder.holds("dravolin.conf"));
    // A key this version does not know, perhaps from a later one, survives our writes; a
    // mapping the operator took back is gone from the file too.
    folder.write("dravolin.conf", "[window]\ngeometry=10 20\n[ports]\ncom1=/dev/ttyUSB0\n");
    SettingsFile first = loaded();
    EXPECT_EQ(first.warning(), "");
    const PortSettings line{.baudRate = 57600, .parity = 'N', .stopBits = 2, .port = 3};
    ASSERT_TRUE(first.saveConfirmed(line, {{3, "/dev/pts/9"}})) << first.saveError();

    const SettingsFile next = loaded();
    EXPECT_EQ(next.warning(), "");
    EXPECT_EQ(next.settings().line.parity, 'N');
    EXPECT_EQ(next.settings().line.stopBits, 2);
    EXPECT_EQ(next.settings().portDevices, (std::map<int, std::string>{{3, "/dev/pts/9"}}));
    EXPECT_NE(folder.read("dravolin.conf").find("geometry=10 20"), std::string::npos);
}

TEST_F(SettingsFileTest,
       ADamagedOrUnreadableFileGivesTheDefaultsAndEachIsKeptUntilNewOnesAreConfirmed) {
    const std::string damaged = "[line\nbaud=19200\n\x01\x02garbage\n";
    folder.write("dravolin.conf", damaged);
    SettingsFile file = loaded();
    expectDefaults(file.settings());
    EXPECT_NE(file.warning().find("is damaged"), std::string::npos) << file.warning();
    EXPECT_NE(file.warning().find(path().toStdString()), std::string::npos) << file.warning();

    // A folder chosen meanwhile is used for this run but does not overwrite the file.
    EXPECT_TRUE(file.saveFolder(SettingsFile::kSendDialog, "/srv/tags"));
    EXPECT_EQ(file.settings().folders.at("send"), "/srv/tags");
    EXPECT_EQ(folder.read("dravolin.conf"), damaged);

    ASSERT_TRUE(file.saveConfirmed(PortSettings{.baudRate = 19200}, {{2, "/dev/ttyACM0"}}));
    EXPECT_EQ(folder.read("dravolin.conf.damaged"), damaged);
    const SettingsFile next = loaded();
    EXPECT_EQ(next.warning(), "");
    EXPECT_EQ(next.settings().line.baudRate, 19200);
    EXPECT_EQ(next.settings().portDevices.at(2), "/dev/ttyACM0");
    EXPECT_EQ(next.settings().folders.at("send"), "/srv/tags");

    // A second damaged file is kept beside the first, never over it.
    const std::string second = "[ports\n\x01garbage again\n";
    folder.write("dravolin.conf", second);
    SettingsFile again = loaded();
    ASSERT_TRUE(again.saveConfirmed(PortSettings{}, {}));
    EXPECT_EQ(folder.read("dravolin.conf.damaged"), damaged);
    EXPECT_EQ(folder.read("dravolin.conf.damaged.1"), second);

    // One that cannot be read gives the defaults with a warning too.
    std::filesystem::remove(folder.path() / "dravolin.conf");
    std::filesystem::create_directory(folder.path() / "dravolin.conf");
    const SettingsFile unreadable = loaded();
    expectDefaults(unreadable.settings());
    EXPECT_NE(unreadable.warning().find("cannot be read"), std::string::npos)
        << unreadable.warning();
}

TEST_F(SettingsFileTest, ValuesThatMakeNoSenseGiveTheirDefaultsAndAreNamedInOneWarning) {
    folder.write("dravolin.conf",
                 "[line]\nport=7\nbaud=12345\nparity=E\nstopBits=2\n"
                 "[ports]\ncom0=/dev/ttyS9\ncomX=/dev/ttyS8\ncom2=/dev/ttyUSB1\n");
    const SettingsFile file = loaded();
    const SavedSettings& saved = file.settings();
    EXPECT_EQ(saved.line.port, 1);
    EXPECT_EQ(saved.line.baudRate, 9600);
    EXPECT_EQ(saved.line.stopBits, 2);
    EXPECT_EQ(saved.portDevices, (std::map<int, std::string>{{2, "/dev/ttyUSB1"}}));
    for (const char* named :
         {"line/port=7", "line/baud=12345", "ports/com0=/dev/ttyS9", "ports/comX=/dev/ttyS8"}) {
        EXPECT_NE(file.warning().find(named), std::string::npos) << named << ": " << file.warning();
    }
}

}  // namespace
}  // namespace dravolin
