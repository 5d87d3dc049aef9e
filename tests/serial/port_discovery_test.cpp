// Finding the serial devices on a fake machine, and who holds one through its lock file.

#include "serial/port_lock.h"
#include "serial/port_scanner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/fake_machine.h"
#include "support/test_folder.h"

namespace dravolin {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::TestFolder;

const std::string kDevice = "/dev/ttyUSB7";
const std::string kLockName = "LCK..ttyUSB7";

std::string lockText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

class PortLockTest : public ::testing::Test {
protected:
    PortLock::Outcome take(PortLock& lock) { return lock.acquire(folder.path().string(), kDevice); }
    std::string lockFile() const { return folder.read(kLockName); }
    void plant(const std::string& content) const { folder.write(kLockName, content); }

    TestFolder folder;
};

// A live program's lock in any form, and one naming nobody (perhaps half written), is honoured
// as it is; a stale one (an ended process, or our id from an earlier process) is replaced.
TEST_F(PortLockTest, OursHoldsOurIdLiveOrUnreadableLocksAreHonouredAndStaleOnesCleared) {
    {
        PortLock lock;
        ASSERT_EQ(take(lock), PortLock::Outcome::Taken);
        // Other programs must be able to read it.
        EXPECT_EQ(fs::status(lock.path()).permissions(), fs::perms(0644));
        EXPECT_EQ(folder.listing(), kLockName);  // nothing else left behind

        PortLock second;  // in this very process: in use, by us
        EXPECT_EQ(take(second), PortLock::Outcome::HeldByOther);
        EXPECT_EQ(second.holderPid(), ::getpid());
        EXPECT_FALSE(second.held());
    }
    EXPECT_FALSE(folder.holds(kLockName)) << "the destructor releases it";

    ChildProcess other({"sleep", "600"});
    ASSERT_GT(other.pid(), 0);
    const auto binary = static_cast<std::int32_t>(other.pid());
    const struct {
        std::string planted;
        pid_t holder;  // 0 when the lock is ours to take
    } cases[] = {
        {lockText(other.pid()), other.pid()},
        {std::to_string(other.pid()) + "\n", other.pid()},
        {std::string(reinterpret_cast<const char*>(&binary), 4), other.pid()},
        {std::string(), 0},
        {"pid twelve\n", 0},
        {lockText(ChildProcess::endedProcessId()), -1},
        {lockText(::getpid()), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.planted);
        plant(c.planted);
        PortLock lock;
        if (c.holder >= 0) {
            EXPECT_EQ(take(lock), PortLock::Outcome::HeldByOther);
            EXPECT_EQ(lock.holderPid(), c.holder);
            EXPECT_EQ(lockFile(), c.planted);
        } else {
            EXPECT_EQ(take(lock), PortLock::Outcome::Taken);
            EXPECT_EQ(lockFile(), lockText(::getpid()));
        }
    }

    // Release leaves a lock that is no longer ours: someone removed ours and took the device.
    fs::remove(folder.path() / kLockName);
    PortLock ours;
    ASSERT_EQ(take(ours), PortLock::Outcome::Taken);
    plant(lockText(other.pid()));
    ours.release();
    EXPECT_EQ(lockFile(), lockText(other.pid()));

    // A planted link to what looks like a stale lock is neither followed nor removed.
    fs::remove(folder.path() / kLockName);
    TestFolder elsewhere;
    const std::string content = lockText(ChildProcess::endedProcessId());
    const fs::path victim = elsewhere.write("precious", content);
    fs::create_symlink(victim, folder.path() / kLockName);
    PortLock linked;
    EXPECT_EQ(take(linked), PortLock::Outcome::HeldByOther);
    EXPECT_TRUE(fs::is_symlink(folder.path() / kLockName));
    EXPECT_EQ(elsewhere.read("precious"), content);
}

// Many programs finding one stale lock at once: exactly one of them takes the device, and
// nothing that was moved aside stays behind.
TEST_F(PortLockTest, ManyTakersOfOneStaleLockLeaveExactlyOneHolderAndNoStrayFiles) {
    constexpr int kTakers = 16;
    for (int round = 0; round < 8; ++round) {
        plant(lockText(ChildProcess::endedProcessId()));
        int start[2], results[2], finish[2];
        ASSERT_TRUE(::pipe(start) == 0 && ::pipe(results) == 0 && ::pipe(finish) == 0);
        std::vector<pid_t> takers;
        for (int i = 0; i < kTakers; ++i) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                // Each holds what it took until every one has tried.
                ::close(start[1]);
                ::close(finish[1]);
                char go = 0;
                static_cast<void>(!::read(start[0], &go, 1));
                PortLock lock;
                const char taken = take(lock) == PortLock::Outcome::Taken ? 'T' : 'h';
                static_cast<void>(!::write(results[1], &taken, 1));
                static_cast<void>(!::read(finish[0], &go, 1));
                ::_exit(0);
            }
            takers.push_back(pid);
        }
        for (const int unused : {start[0], results[1], finish[0], start[1]}) {
            ::close(unused);  // start[1] last: all go at once
        }
        std::string outcomes;
        char taken = 0;
        while (outcomes.size() < kTakers && ::read(results[0], &taken, 1) == 1) {
            outcomes.push_back(taken);
        }
        EXPECT_EQ(outcomes.size(), std::size_t(kTakers));
        EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), 'T'), 1) << outcomes;
        EXPECT_EQ(folder.listing(), kLockName);
        const pid_t holder = PortLock::parseHolder(lockFile());
        EXPECT_NE(std::find(takers.begin(), takers.end(), holder), takers.end()) << lockFile();
        ::close(finish[1]);
        for (const pid_t pid : takers) {
            ::waitpid(pid, nullptr, 0);
        }
        ::close(results[0]);
    }
}

using test::FakeMachine;

const FakeMachine::Usb kAdapter{.name = "ttyUSB0",
                                .byId = "usb-Korvane_KV-10_K0042-if00-port0",
                                .maker = "Korvane",
                                .product = "Korvane KV-10 USB serial",
                                .serialNumber = "K0042"};
const FakeMachine::Usb kModem{.name = "ttyACM0",
                              .byId = "usb-Loriven_Bridge_77-if00",
                              .maker = "Loriven Works",
                              .product = "Bridge",
                              .serialNumber = "77",
                              .driver = "cdc_acm",
                              .acm = true};

std::vector<std::string> pathsOf(const std::vector<SerialDevice>& devices) {
    std::vector<std::string> paths;
    for (const SerialDevice& device : devices) {
        paths.push_back(device.path);
    }
    return paths;
}

TEST(PortScanner, FindsAdaptersModemsAndBuiltInPortsAndSaysWhatEachIs) {
    FakeMachine machine;
    machine.addBuiltInPort("ttyS10", "4", "0x2E8");
    machine.addBuiltInPort("ttyS0", "4", "0x3F8");
    machine.addBuiltInPort("ttyS1", "0", "0x2F8");              // no UART answered
    machine.addBuiltInPort("ttyS2", "4", "0x0", "0x0");         // no address at all
    machine.addBuiltInPort("ttyS3", "4", "0x0", "0xFE215040");  // memory-mapped: present
    machine.addUsb(kModem);
    machine.addUsb(kAdapter);
    machine.addUsb({.name = "ttyUSB1", .driver = "plain_serial"});  // says nothing of itself
    machine.addVirtualTerminal("tty1");
    machine.addVirtualTerminal("tty");

    const std::vector<SerialDevice> devices = PortScanner(machine.root()).scan();
    // Stable names first, then the rest by name (ttyS3 before ttyS10), absent ports last;
    // terminals without hardware are not serial devices.
    EXPECT_EQ(pathsOf(devices), (std::vector<std::string>{
                                    "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS3",
                                    "/dev/ttyS10", "/dev/ttyUSB1", "/dev/ttyS1", "/dev/ttyS2"}));
    ASSERT_EQ(devices.size(), 8u);

    // Which names the device is shown and kept under is tested with the port settings dialog;
    // an adapter's, an I/O port's and an absent port's words with the CLI's port listing.
    EXPECT_EQ(devices[1].description(), "Loriven Works Bridge, serial number 77");
    EXPECT_EQ(devices[5].description(), "USB serial device (plain_serial)");
    EXPECT_EQ(devices[3].description(), "built-in serial port at memory 0xFE215040");
    for (int absent : {6, 7}) {
        EXPECT_TRUE(devices[absent].probablyAbsent) << devices[absent].path;
    }
}

TEST(PortScanner, AnUnpluggedDeviceIsGoneItsStableNameLeadsNowhereAndNoDevNoSysFindsNothing) {
    FakeMachine machine;
    machine.addUsb(kAdapter);
    machine.addBuiltInPort("ttyS0", "4", "0x3F8");
    const PortScanner scanner(machine.root());
    const std::string byId = "/dev/serial/by-id/" + kAdapter.byId;
    // udev may leave the stable name behind for a moment: it must lead nowhere.
    machine.unplug("ttyUSB0");
    EXPECT_EQ(pathsOf(scanner.scan()), std::vector<std::string>{"/dev/ttyS0"});
    EXPECT_FALSE(scanner.exists(byId));
    EXPECT_FALSE(scanner.exists("/dev/ttyUSB0"));
    EXPECT_EQ(scanner.resolve(byId), byId);

    // A machine without /dev or /sys finds nothing.
    test::TestFolder empty;
    const PortScanner nothing(empty.path());
    EXPECT_TRUE(nothing.scan().empty());
    EXPECT_FALSE(nothing.exists("/dev/ttyS0"));
    EXPECT_FALSE(nothing.exists(""));
}

}  // namespace
}  // namespace dravolin
