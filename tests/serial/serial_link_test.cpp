// The serial link over pseudo-terminals: opening it with the line settings, closing it,
// sharing the device with other programs, and its monitor thread reading, writing and ending.

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QEvent>
#include <QObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "core/port_settings.h"
#include "serial/port_lock.h"
#include "serial/serial_port.h"
#include "support/pty_pair.h"
#include "support/recording_presenter.h"
#include "support/scripted_port.h"
#include "support/test_folder.h"
#include "support/waiting.h"

namespace dravolin {
namespace {

namespace fs = std::filesystem;
using test::TestFolder;

// A SerialPort whose COM2 is a fresh pseudo-terminal behind a ScriptedPort, with a recording
// owner and presenter; no test may leave a monitor thread running.
class SerialLinkTest : public ::testing::Test, public PortOwner {
protected:
    static constexpr int kPort = 2;

    void SetUp() override {
        ASSERT_TRUE(pty.valid());
        PortMap map;
        map.map(kPort, pty.devicePath());
        port = std::make_unique<SerialPort>(presenter, map, ports.factory());
    }

    void TearDown() override {
        port.reset();
        EXPECT_TRUE(sleepUntil([&] { return ports.alive() == 0; }))
            << "a monitor thread did not end";
        pumpEvents(10);
    }

    // Records every message; every one must name our port.
    long portMessage(unsigned message, std::uintptr_t firstParameter,
                     std::intptr_t secondParameter) override {
        EXPECT_EQ(secondParameter, kPort);
        messages.push_back(message);
        if (message == MSG_RX_CHAR) {
            bytes.push_back(static_cast<char>(firstParameter));
        }
        return 0;
    }

    int openLink(unsigned eventMask = EV_RXCHAR | EV_CTS, int baud = 9600, char parity = 'E',
                 int stopBits = 1) {
        return port->openPort(this, kPort, baud, parity, 8, stopBits, eventMask, 512, 1);
    }

    // Starts the monitor thread and waits until it watches the line, past its first purge.
    bool startMonitoring() {
        if (!port->startMonitoring()) {
            return false;
        }
        return sleepUntil([&] { return device().sleeps() >= 1; });
    }

    bool openAndMonitor(unsigned eventMask = EV_RXCHAR | EV_CTS) {
        return openLink(eventMask) == 1 && startMonitoring();
    }

    void requestWrite(const std::string& frame) {
        port->setWriteLength(static_cast<std::uint32_t>(frame.size()));
        port->requestWrite(std::vector<std::uint8_t>(frame.begin(), frame.end()));
    }

    // Why `serialPort` could not open its device, in one English line; empty when it could.
    static std::string openFailureOf(const SerialPort& serialPort) {
        return serialPort.openFailure() ? serialPort.openFailure()->english() : std::string();
    }

    // The port of the current opening, as the monitor thread uses it.
    test::ScriptedPort& device() { return ports.latest(); }

    std::string expectedWarning(const std::string& callName, int errorCode) const {
        return "WARNING:  " + callName + " Failed with the following error: \n" +
               comm::errorText(errorCode) + "\nPort: " + std::to_string(kPort) + "\n";
    }

    PtyPair pty;
    RecordingPresenter presenter;
    test::ScriptedPorts ports;  // set ports.plan before openLink for the next opening
    std::unique_ptr<SerialPort> port;
    std::vector<unsigned> messages;  // what the owner was sent, in order
    std::string bytes;               // the bytes of MSG_RX_CHAR
};

// ---- opening

using Speed = std::pair<int, speed_t>;

class LineSettings : public SerialLinkTest,
                     public ::testing::WithParamInterface<std::tuple<Speed, char, int>> {};

TEST_P(LineSettings, ReachTheDeviceAsRawEightBitLineWithoutFlowControl) {
    const auto [speed, parity, stopBits] = GetParam();
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS, speed.first, parity, stopBits), 1);
    EXPECT_TRUE(presenter.warnings().empty());

    // What the device took; a pseudo-terminal reports no parity enable bit and 8 bits always.
    termios line{};
    ASSERT_TRUE(pty.lineSettings(line));
    EXPECT_EQ(cfgetospeed(&line), speed.second);
    EXPECT_EQ(cfgetispeed(&line), speed.second);
    EXPECT_EQ((line.c_cflag & PARODD) != 0, parity == 'O');
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, stopBits == 2);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY), 0u);
    // Input errors are checked and marked, whatever the port had before.
    EXPECT_EQ(line.c_iflag & (INPCK | PARMRK), static_cast<tcflag_t>(INPCK | PARMRK));
    EXPECT_EQ(line.c_iflag & (IGNPAR | ISTRIP | IGNBRK), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);

    // What was asked of it, for those two.
    comm::LineState asked;
    ASSERT_TRUE(comm::buildLineState(settingsStringFor(speed.first, parity, 8, stopBits), asked));
    EXPECT_EQ(asked.settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ((asked.settings.c_cflag & PARENB) != 0, parity != 'N');
}

INSTANTIATE_TEST_SUITE_P(
    OfferedSettings, LineSettings,
    ::testing::Combine(::testing::Values(Speed{9600, B9600}, Speed{19200, B19200},
                                         Speed{38400, B38400}, Speed{57600, B57600}),
                       ::testing::Values('O', 'E', 'N'), ::testing::Values(1, 2)));

// A parity the settings string cannot carry fails as it is read; a speed the line has no
// setting for, as it is applied.
TEST_F(SerialLinkTest, RefusedSettingsShowOneWarningAndLeaveThePortOpen) {
    const std::tuple<char, int, const char*> refused[] = {{'X', 9600, "BuildCommDCB()"},
                                                          {'E', 12345, "SetCommState()"}};
    for (const auto& [parity, baud, call] : refused) {
        const std::size_t shown = presenter.warnings().size();
        ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS, baud, parity, 1), 1);
        ASSERT_EQ(presenter.warnings().size(), shown + 1);
        const auto& warning = presenter.warnings().back();
        EXPECT_EQ(warning.caption, "Application Error");
        EXPECT_EQ(warning.text, expectedWarning(call, EINVAL));
        EXPECT_TRUE(device().isOpen());
        port->closePort();
    }
}

// ---- closing

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

TEST_F(SerialLinkTest, ClosingPutsBackTheSettingsTheDeviceHadEvenDuringAWriteItDoesNotTake) {
    // Settings of the kind a terminal program leaves behind: nothing like the raw line.
    termios terminal{};
    ASSERT_TRUE(pty.lineSettings(terminal));
    terminal.c_lflag |= ICANON | ECHO | ISIG;
    terminal.c_iflag |= ICRNL | IXON;
    terminal.c_oflag |= OPOST | ONLCR;
    terminal.c_cc[VMIN] = 7;
    terminal.c_cc[VTIME] = 3;
    cfsetispeed(&terminal, B2400);
    cfsetospeed(&terminal, B2400);
    ASSERT_TRUE(pty.setLineSettings(terminal));
    termios before{};
    ASSERT_TRUE(pty.lineSettings(before));

    ASSERT_TRUE(openAndMonitor());
    termios during{};
    ASSERT_TRUE(pty.lineSettings(during));
    EXPECT_FALSE(sameSettings(during, before));
    requestWrite(std::string(1 << 20, 'U'));  // far more than the line holds: it stays pending
    ASSERT_TRUE(sleepUntil([&] { return device().writes() == 1; }));
    port->closePort();
    termios after{};
    ASSERT_TRUE(pty.lineSettings(after));
    EXPECT_TRUE(sameSettings(after, before));
    // Another program can take the device at once, while our write is still being abandoned.
    PortMap map;
    map.map(kPort, pty.devicePath());
    SerialPort other(presenter, map);
    EXPECT_EQ(other.openPort(this, kPort, 9600, 'E', 8, 1, 9, 512, 1), 1);
    other.closePort();
}

// ---- sharing the device

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
    std::ifstream comm("/proc/self/comm");  // our name as the system gives it to anyone
    std::string ourName;
    std::getline(comm, ourName);
    EXPECT_EQ(openFailureOf(other), pty.devicePath() + " is busy: in use by " + ourName + " (pid " +
                                        std::to_string(::getpid()) + ")");
    port->closePort();
}

// ---- reading

// The line marks bytes received with errors; a 0xFF the device sends arrives doubled.
TEST_F(SerialLinkTest, BytesReachTheOwnerAsSentAndMarkedErrorsAreToldAfterTheirBytes) {
    // Half an error mark, as the end of a read may split it: the next read completes it.
    ports.plan.noise = std::string("\xFF\x00", 2);
    ports.plan.noiseAfter = 7;  // the bytes below as they arrive, each 0xFF doubled
    ASSERT_TRUE(openAndMonitor(EV_RXCHAR));
    const std::string sent("\xFF\x00\xFF\xFF", 4);
    ASSERT_TRUE(pty.send(sent));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 4; }));
    EXPECT_EQ(bytes, sent);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), MSG_LINE_ERROR), 0);

    ASSERT_TRUE(sleepUntil([&] { return device().noiseRead(); }));
    ASSERT_TRUE(pty.send("Z"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 5; }));
    EXPECT_EQ(bytes, sent + "Z");
    const std::vector<unsigned> tail(messages.end() - 2, messages.end());
    EXPECT_EQ(tail, (std::vector<unsigned>{MSG_RX_CHAR, MSG_LINE_ERROR}));
}

// An answer that trickles in is gathered into runs; told how long the answer is, a run
// sleeps until the rest is due. Whether the length told is right or too long (a device that
// stops short), every byte reaches the owner, in order.
TEST_F(SerialLinkTest, ATricklingAnswerReachesTheOwnerWholeWhateverLengthWasSaid) {
    ASSERT_TRUE(openAndMonitor(EV_RXCHAR));
    std::string sent;
    for (const std::size_t said : {std::size_t{120}, std::size_t{400}}) {
        port->expectReply(said);
        for (int index = 0; index < 120; ++index) {
            const std::string byte(1, static_cast<char>('!' + index % 90));
            ASSERT_TRUE(pty.send(byte));
            sent += byte;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(waitUntil([&] { return bytes.size() >= sent.size(); })) << "said " << said;
        EXPECT_EQ(bytes, sent);
    }
}

// Stale port events send nothing; a failed read warns once; closing withdraws its warning.
TEST_F(SerialLinkTest, StaleEventsSendNothingAFailedReadWarnsOnceAndClosingTakesItDown) {
    ports.plan.staleEventCompletions = 3;
    ports.plan.readFailuresLate = 1;
    ASSERT_TRUE(openAndMonitor(EV_RXCHAR | EV_CTS));  // waits for the first sleep on the signals
    EXPECT_EQ(device().eventWaitsBegun(), 4);         // three stale completions, then the real wait

    // A stale completion's MSG_CTS would come ahead of the bytes'; the first is told before
    // the read that failed.
    ASSERT_TRUE(pty.send("AB"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 2; }));
    pumpEvents(30);
    EXPECT_EQ(bytes, "AB");
    EXPECT_EQ(messages, (std::vector<unsigned>{MSG_CTS, MSG_RX_CHAR, MSG_RX_CHAR}));
    ASSERT_EQ(presenter.warnings().size(), 1u);
    EXPECT_EQ(presenter.warnings()[0].text,
              expectedWarning("GetOverlappedResults() in ReadFile()", EIO));
    port->closePort();

    messages.clear();
    presenter.holdAnswers();
    ports.plan = test::PortPlan{};
    ports.plan.readFailuresAtOnce = 1;
    ASSERT_TRUE(openAndMonitor(EV_RXCHAR));
    ASSERT_TRUE(pty.send("AB"));
    ASSERT_TRUE(waitUntil([&] { return presenter.warnings().size() == 2; }));
    EXPECT_EQ(presenter.warnings()[1].text, expectedWarning("ReadFile()", EIO));
    EXPECT_FALSE(presenter.warnings()[1].withdrawn);
    port->closePort();
    EXPECT_TRUE(presenter.warnings()[1].withdrawn);
    pumpEvents(100);
    EXPECT_TRUE(messages.empty());
}

// ---- writing

// Neither bytes the monitor thread has read nor bytes waiting on the line count as the answer.
TEST_F(SerialLinkTest, BytesFromBeforeAFrameGoesOutNeverCountAsItsAnswer) {
    std::atomic<bool> writeRequested{false};
    std::atomic<bool> arrived{false};
    ports.plan.beforePurge = [&](comm::Port& real) {
        if (writeRequested.exchange(false)) {
            // Late bytes of an earlier answer, waiting unread as the next frame goes out.
            std::size_t waiting = 0;
            arrived = pty.send("old") &&
                      sleepUntil([&] { return real.bytesWaiting(waiting) && waiting >= 3; });
        }
    };
    ASSERT_TRUE(openAndMonitor());
    // Stray bytes read just before the frame, still waiting for the owner.
    ASSERT_TRUE(pty.send("stray"));
    ASSERT_TRUE(sleepUntil([&] { return device().reads() >= 1; }));
    requestWrite("CMD");
    std::string written;
    EXPECT_TRUE(waitUntil([&] {
        written += pty.receive(3 - written.size(), 0);
        return written.size() >= 3;
    }));
    EXPECT_EQ(written, "CMD");
    ASSERT_TRUE(pty.send("ans"));
    EXPECT_TRUE(waitUntil([&] { return bytes.find("ans") != std::string::npos; }));
    EXPECT_EQ(bytes, "ans");

    bytes.clear();
    writeRequested = true;
    requestWrite("CMD");
    EXPECT_EQ(pty.receive(3, 10000), "CMD");
    EXPECT_TRUE(arrived);
    ASSERT_TRUE(pty.send("new"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 3; }));
    pumpEvents(30);
    EXPECT_EQ(bytes, "new");
}

TEST_F(SerialLinkTest, ClosingAsAWriteBeginsStopsItBeforeAnyByteGoesOut) {
    std::atomic<bool> writeDue{false};
    std::atomic<bool> closeNow{false};
    std::atomic<bool> closed{false};
    ports.plan.beforePurge = [&](comm::Port&) {
        if (writeDue.exchange(false)) {
            closeNow = true;  // the interface thread hands the port back now
            sleepUntil([&] { return closed.load(); });
        }
    };
    ASSERT_TRUE(openAndMonitor());
    writeDue = true;
    requestWrite("FRAME");
    ASSERT_TRUE(sleepUntil([&] { return closeNow.load(); }));
    port->closePort();
    closed = true;
    port.reset();  // once the monitor thread has let go, what it wrote is on the other side
    ASSERT_TRUE(sleepUntil([&] { return ports.alive() == 0; }));
    EXPECT_EQ(pty.receive(5, 100), "");
}

// ---- ending

// Closes the port as the monitor thread's first hand-over (a posted call or a watched
// descriptor) is about to reach the owner.
struct CloseOnFirstHandOver : QObject {
    explicit CloseOnFirstHandOver(SerialPort& port) : port(port) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!closed && (type == QEvent::MetaCall || type == QEvent::SockAct)) {
            closed = true;
            port.closePort();  // would never return if it waited for the monitor thread
        }
        return QObject::eventFilter(watched, event);
    }
    SerialPort& port;
    bool closed = false;
};

TEST_F(SerialLinkTest, BytesOnTheirWayWhenThePortIsClosedNeverReachTheOwner) {
    ASSERT_TRUE(openAndMonitor(EV_RXCHAR | EV_CTS));
    CloseOnFirstHandOver closer(*port);
    QCoreApplication::instance()->installEventFilter(&closer);
    ASSERT_TRUE(pty.send("ABCDEF"));
    EXPECT_TRUE(waitUntil([&] { return closer.closed; }));
    QCoreApplication::instance()->removeEventFilter(&closer);

    // Once the closed opening's monitor thread has let go, nothing of it is still on its way.
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS), 1);
    ASSERT_TRUE(sleepUntil([&] { return ports.alive() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.empty());  // else they would answer the next opening's question

    // The new opening alone hears the device.
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("A"));
    EXPECT_TRUE(waitUntil([&] { return !bytes.empty(); }));
    pumpEvents(50);
    EXPECT_EQ(messages, (std::vector<unsigned>{MSG_CTS, MSG_RX_CHAR}));
    EXPECT_EQ(bytes, "A");
    port->closePort();
}

// The owner is told once that the device has gone, after the bytes it sent before.
TEST_F(SerialLinkTest, ADeviceHangingUpMidReplyStopsTheWatchAndShowsOneWarning) {
    ASSERT_TRUE(openAndMonitor());
    ASSERT_TRUE(pty.send("AB"));
    ASSERT_TRUE(waitUntil([&] { return bytes.size() >= 2; }));
    pty.hangUp();
    const auto goneMessages = [&] {
        return std::count(messages.begin(), messages.end(), MSG_LINE_GONE);
    };
    ASSERT_TRUE(waitUntil([&] { return goneMessages() == 1; }));

    // The loop settles: it stops looking at a device that keeps reporting its hang-up.
    test::ScriptedPort& dead = device();
    auto portCalls = [&] { return dead.eventWaitsBegun() + dead.sleeps() + dead.reads(); };
    int calls = -1;
    for (int round = 0; round < 50 && calls != portCalls(); ++round) {
        calls = portCalls();
        pumpEvents(100);
    }
    EXPECT_EQ(calls, portCalls());
    EXPECT_LE(calls, 10);
    EXPECT_EQ(bytes, "AB");
    EXPECT_TRUE(presenter.warnings().empty());

    // Frames for the dead device: the first failure is shown, the rest dropped quietly.
    for (int i = 1; i <= 3; ++i) {
        requestWrite("frame");
        EXPECT_TRUE(waitUntil([&] { return dead.writes() == i; }));
    }
    pumpEvents(100);
    EXPECT_EQ(portCalls(), calls);
    ASSERT_EQ(presenter.warnings().size(), 1u);
    EXPECT_EQ(presenter.warnings()[0].text, expectedWarning("WriteFile()", EIO));
    EXPECT_EQ(goneMessages(), 1);
    port->closePort();
}

}  // namespace
}  // namespace dravolin
