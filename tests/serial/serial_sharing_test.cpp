#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "serial/port_lock.h"
#include "serial/serial_link_fixture.h"
#include "support/test_folder.h"

namespace dravolin {
namespace {

namespace fs = std::filesystem;
using test::TestFolder;

// The serial link with its lock files in a folder of the test's own, named in DRAVOLIN_LOCK_DIR.
class PortSharing : public SerialLinkTest {
protected:
    void SetUp() override {
        SerialLinkTest::SetUp();
        useLockFolder(locks.path());
    }
    void TearDown() override {
        SerialLinkTest::TearDown();
        ::setenv("DRAVOLIN_LOCK_DIR", lockFolderBefore_.c_str(), 1);
    }

    void useLockFolder(const fs::path& folder) { ::setenv("DRAVOLIN_LOCK_DIR", folder.c_str(), 1); }

    // Named for the device itself, however the port reaches it.
    std::string lockName() const { return "LCK..pts_" + pty.devicePath().substr(9); }
    void mapTo(const std::string& path) {
        PortMap map;
        map.map(kPort, path);
        port->setPortMap(map);
    }

    TestFolder locks;

private:
    const std::string lockFolderBefore_ = PortLock::defaultFolder();
};

TEST_F(PortSharing,
       OurLockIsHeldWhileThePortIsOpenGoesOnEveryWayOutAndAFailedOpeningSaysWhyAndLeavesNothing) {
    ASSERT_TRUE(pty.devicePath().starts_with("/dev/pts/"));
    TestFolder devices;
    fs::create_symlink(pty.devicePath(), devices.path() / "stable-name");
    mapTo((devices.path() / "stable-name").string());
    ASSERT_EQ(openLink(), 1);
    EXPECT_NE(locks.read(lockName()).find(std::to_string(::getpid())), std::string::npos);
    ASSERT_TRUE(startMonitoring());
    port->closePort();
    EXPECT_FALSE(locks.holds(lockName()));

    // A failed opening says why, leaves no lock, shows nothing and drops what it is to write.
    const std::string missing = (devices.path() / "ttyUSB9").string();
    const std::string plain = devices.write("not-a-tty", "").string();
    const std::pair<std::string, std::string> failures[] = {
        {missing, missing + " does not exist: is the adapter plugged in?"},
        {plain, plain + " is not a serial device"},
        {"", "no device stands for this port"}};
    for (const auto& [path, cause] : failures) {
        mapTo(path);
        EXPECT_EQ(openLink(), 0);
        EXPECT_EQ(openFailureOf(*port), cause);
    }
    // Permission denied names the group that owns the device (root may open any file).
    if (::geteuid() != 0) {
        const fs::path refused = devices.write("ttyRefused", "");
        fs::permissions(refused, fs::perms::none);
        mapTo(refused.string());
        EXPECT_EQ(openLink(), 0);
        const std::string cause = openFailureOf(*port);
        EXPECT_TRUE(cause.starts_with("permission denied on " + refused.string() + " (group "))
            << cause;
    }
    EXPECT_EQ(locks.listing(), "");
    EXPECT_TRUE(port->startMonitoring());
    EXPECT_TRUE(presenter.warnings().empty());
    requestWrite("lost");
    port->closePort();

    // Ending the program with the port open.
    mapTo(pty.devicePath());
    ASSERT_EQ(openLink(EV_RXCHAR), 1);
    ASSERT_TRUE(locks.holds(lockName()));
    ASSERT_TRUE(startMonitoring());
    requestWrite("DD");
    EXPECT_EQ(pty.receive(2, 10000), "DD");
    EXPECT_TRUE(openFailureOf(*port).empty());
    port.reset();
    EXPECT_EQ(locks.listing(), "");
}

TEST_F(PortSharing, WithoutALockFolderThePortIsUsedAndTheHolderFoundAmongOpenFiles) {
    useLockFolder(locks.path() / "missing");
    ASSERT_EQ(openLink(), 1);
    EXPECT_NE(port->lockNotice().find(pty.devicePath()), std::string::npos);
    EXPECT_NE(port->lockNotice().find((locks.path() / "missing").string()), std::string::npos)
        << port->lockNotice();

    PortMap map;
    map.map(kPort, pty.devicePath());
    SerialPort other(presenter, map);
    EXPECT_EQ(other.openPort(this, kPort, 9600, 'E', 8, 1, 9, 512, 1), 0);
    EXPECT_EQ(openFailureOf(other), pty.devicePath() + " is busy: in use by " + thisProgramsName() +
                                        " (pid " + std::to_string(::getpid()) + ")");
    port->closePort();
}

}  // namespace
}  // namespace dravolin
