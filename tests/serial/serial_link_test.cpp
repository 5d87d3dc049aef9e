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
// client and presenter; no test may leave a monitor thread running.
class SerialLinkTest : public ::testing::Test, public LinkClient {
protected:
    static constexpr int kPort = 2;

    void SetUp() override {
        ASSERT_TRUE(pty.valid());
        port = std::make_unique<SerialPort>(presenter, mapTo(pty.devicePath()), ports.factory());
    }

    void TearDown() override {
        port.reset();
        EXPECT_TRUE(sleepUntil([&] { return ports.alive() == 0; }))
            << "a monitor thread did not end";
        pumpEvents(10);
    }

    // Records what the link tells, in order: "bytes", "errors N" (with a run), "gone",
    // "left N".
    void received(std::span<const std::uint8_t> run, std::size_t lineErrors) override {
        bytes.append(run.begin(), run.end());
        told.push_back(lineErrors > 0 ? "bytes, errors " + std::to_string(lineErrors) : "bytes");
    }
    void hungUp() override { told.push_back("gone"); }
    void frameLeft(std::size_t count) override { told.push_back("left " + std::to_string(count)); }

    static PortMap mapTo(const std::string& path) {
        PortMap map;
        map.map(kPort, path);
        return map;
    }

    bool openLink(int baud = 9600, char parity = 'E', int stopBits = 1) {
        return port->openPort(*this, kPort, LineTiming{baud, parity, stopBits});
    }

    // Starts the monitor thread and waits until it watches the line, past its first purge.
    bool startMonitoring() {
        if (!port->startMonitoring()) {
            return false;
        }
        return sleepUntil([&] { return device().sleeps() >= 1; });
    }

    bool openAndMonitor() { return openLink() && startMonitoring(); }

    void requestWrite(const std::string& frame) {
        port->requestWrite(std::vector<std::uint8_t>(frame.begin(), frame.end()));
    }

    long count(const std::string& what) const { return std::count(told.begin(), told.end(), what); }

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
    std::vector<std::string> told;  // what the client heard, in order
    std::string bytes;              // the bytes of every run
};

// ---- opening

using Speed = std::pair<int, speed_t>;

class LineSettings : public SerialLinkTest,
                     public ::testing::WithParamInterface<std::tuple<Speed, char, int>> {};

TEST_P(LineSettings, ReachTheDeviceAsRawEightBitLineWithoutFlowControl) {
    const auto [speed, parity, stopBits] = GetParam();
    ASSERT_TRUE(openLink(speed.first, parity, stopBits));
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
}

INSTANTIATE_TEST_SUITE_P(
    OfferedSettings, LineSettings,
    ::testing::Combine(::testing::Values(Speed{9600, B9600}, Speed{19200, B19200},
                                         Speed{38400, B38400}, Speed{57600, B57600}),
                       ::testing::Values('O', 'E', 'N'), ::testing::Values(1, 2)));

// A parity, a speed or stop bits the line has no setting for: the warning names the call of
// this system that refused it, never another system's.
TEST_F(SerialLinkTest, RefusedSettingsShowOneWarningAndLeaveThePortOpen) {
    const std::tuple<char, int, int> refused[] = {{'X', 9600, 1}, {'E', 12345, 1}, {'E', 9600, 3}};
    for (const auto& [parity, baud, stopBits] : refused) {
        const std::size_t shown = presenter.warnings().size();
        ASSERT_TRUE(openLink(baud, parity, stopBits));
        ASSERT_EQ(presenter.warnings().size(), shown + 1);
        const auto& warning = presenter.warnings().back();
        EXPECT_EQ(warning.caption, "Application Error");
        EXPECT_EQ(warning.text, expectedWarning("tcsetattr()", EINVAL));
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
    requestWrite(std::string(1 << 20, 'U'));  // far more than the line holds: it stays pending
    ASSERT_TRUE(sleepUntil([&] { return device().writes() == 1; }));
    port->closePort();
    termios after{};
    ASSERT_TRUE(pty.lineSettings(after));
    EXPECT_TRUE(sameSettings(after, before));
    // Another program can take the device at once, while our write is still being abandoned.
    SerialPort other(presenter, mapTo(pty.devicePath()));
    EXPECT_TRUE(other.openPort(*this, kPort, LineTiming{}));
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
    void mapPortTo(const std::string& path) { port->setPortMap(mapTo(path)); }

    TestFolder locks;

private:
    const std::string lockFolderBefore_ = PortLock::defaultFolder();
};

TEST_F(PortSharing,
       OurLockIsHeldWhileThePortIsOpenGoesOnEveryWayOutAndAFailedOpeningSaysWhyAndLeavesNothing) {
    ASSERT_TRUE(pty.devicePath().starts_with("/dev/pts/"));
    TestFolder devices;
    fs::create_symlink(pty.devicePath(), devices.path() / "stable-name");
    mapPortTo((devices.path() / "stable-name").string());
    ASSERT_TRUE(openLink());
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
        mapPortTo(path);
        EXPECT_FALSE(openLink());
        EXPECT_EQ(openFailureOf(*port), cause);
    }
    // Permission denied names the group that owns the device (root may open any file).
    if (::geteuid() != 0) {
        const fs::path refused = devices.write("ttyRefused", "");
        fs::permissions(refused, fs::perms::none);
        mapPortTo(refused.string());
        EXPECT_FALSE(openLink());
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
    mapPortTo(pty.devicePath());
    ASSERT_TRUE(openLink());
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
    ASSERT_TRUE(openLink());
    EXPECT_NE(port->lockNotice().find(pty.devicePath()), std::string::npos);
    EXPECT_NE(port->lockNotice().find((locks.path() / "missing").string()), std::string::npos)
        << port->lockNotice();

    SerialPort other(presenter, mapTo(pty.devicePath()));
    EXPECT_FALSE(other.openPort(*this, kPort, LineTiming{}));
    std::ifstream comm("/proc/self/comm");  // our name as the system gives it to anyone
    std::string ourName;
    std::getline(comm, ourName);
    EXPECT_EQ(openFailureOf(other), pty.devicePath() + " is busy: in use by " + ourName + " (pid " +
                                        std::to_string(::getpid()) + ")");
    port->closePort();
}

// ---- reading

// A 0xFF the device sends arrives doubled on a line that marks its errors; errors come with
// the run of bytes they came in.
TEST_F(SerialLinkTest, BytesReachTheClientAsSentAndLineErrorsComeWithTheirRun) {
    ports.plan.noise = "Z";
    ports.plan.noiseLineErrors = 1;
    ports.plan.noiseAfter = 4;
    ASSERT_TRUE(openAndMonitor());
    const std::string sent("\xFF\x00\xFF\xFF", 4);
    ASSERT_TRUE(pty.send(sent));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 5; }));
    EXPECT_EQ(bytes, sent + "Z");
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), "bytes, errors 1");
    EXPECT_EQ(count("bytes"), static_cast<long>(told.size()) - 1);
}

// An answer that trickles in is gathered into runs; told how long the answer is, a run
// sleeps until the rest is due. Whether the length told is right or too long (a device that
// stops short), every byte reaches the client, in order.
TEST_F(SerialLinkTest, ATricklingAnswerReachesTheClientWholeWhateverLengthWasSaid) {
    ASSERT_TRUE(openAndMonitor());
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
    EXPECT_LT(told.size(), sent.size() / 2) << "runs, not single bytes";
}

// Stale port events tell nothing; a failed read warns once (the device is still there, and
// what it sends still arrives); closing takes a warning down that is still up.
TEST_F(SerialLinkTest, StaleEventsTellNothingAFailedReadWarnsOnceAndClosingTakesItDown) {
    ports.plan.staleEventCompletions = 3;
    ports.plan.readFailures = 2;
    ASSERT_TRUE(openAndMonitor());             // waits for the first sleep on the signals
    EXPECT_EQ(device().eventWaitsBegun(), 4);  // three stale completions, then the real wait
    EXPECT_TRUE(told.empty());

    ASSERT_TRUE(pty.send("AB"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 2; }));
    pumpEvents(30);
    EXPECT_EQ(bytes, "AB");
    ASSERT_EQ(presenter.warnings().size(), 1u);
    EXPECT_EQ(presenter.warnings()[0].text, expectedWarning("read()", EIO));
    port->closePort();

    told.clear();
    presenter.holdAnswers();
    ports.plan = test::PortPlan{};
    ports.plan.readFailures = 1;
    ASSERT_TRUE(openAndMonitor());
    ASSERT_TRUE(pty.send("AB"));
    ASSERT_TRUE(waitUntil([&] { return presenter.warnings().size() == 2; }));
    EXPECT_FALSE(presenter.warnings()[1].withdrawn);
    port->closePort();
    EXPECT_TRUE(presenter.warnings()[1].withdrawn);
    pumpEvents(100);
    EXPECT_TRUE(told.empty());
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
    // Stray bytes read just before the frame, not yet told to the client.
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

// Closes the port as the monitor thread's first hand-over (a watched descriptor) is about to
// reach the client.
struct CloseOnFirstHandOver : QObject {
    explicit CloseOnFirstHandOver(SerialPort& port) : port(port) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!closed && (type == QEvent::MetaCall || type == QEvent::SockAct)) {
            closed = true;
            port.closePort();
        }
        return QObject::eventFilter(watched, event);
    }
    SerialPort& port;
    bool closed = false;
};

TEST_F(SerialLinkTest, BytesOnTheirWayWhenThePortIsClosedNeverReachTheClient) {
    ASSERT_TRUE(openAndMonitor());
    CloseOnFirstHandOver closer(*port);
    QCoreApplication::instance()->installEventFilter(&closer);
    ASSERT_TRUE(pty.send("ABCDEF"));
    EXPECT_TRUE(waitUntil([&] { return closer.closed; }));
    QCoreApplication::instance()->removeEventFilter(&closer);

    // Once the closed opening's monitor thread has let go, nothing of it is still on its way.
    ASSERT_TRUE(openLink());
    ASSERT_TRUE(sleepUntil([&] { return ports.alive() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(told.empty());  // else they would answer the next opening's question

    // The new opening alone hears the device.
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("A"));
    EXPECT_TRUE(waitUntil([&] { return !bytes.empty(); }));
    pumpEvents(50);
    EXPECT_EQ(told, (std::vector<std::string>{"bytes"}));
    EXPECT_EQ(bytes, "A");
    port->closePort();
}

// The client is told once that the device has gone, after the bytes it sent before; a
// device that has gone is that one message, never a warning too.
TEST_F(SerialLinkTest, ADeviceHangingUpMidReplyIsToldOnceAndStopsTheWatch) {
    ASSERT_TRUE(openAndMonitor());
    ASSERT_TRUE(pty.send("AB"));
    ASSERT_TRUE(waitUntil([&] { return bytes.size() >= 2; }));
    pty.hangUp();
    ASSERT_TRUE(waitUntil([&] { return count("gone") == 1; }));

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

    // Frames for the dead device fail quietly.
    for (int i = 1; i <= 3; ++i) {
        requestWrite("frame");
        EXPECT_TRUE(waitUntil([&] { return dead.writes() == i; }));
    }
    pumpEvents(100);
    EXPECT_EQ(portCalls(), calls);
    EXPECT_TRUE(presenter.warnings().empty());
    EXPECT_EQ(told.back(), "gone");
    EXPECT_EQ(count("gone"), 1);
    port->closePort();
}

}  // namespace
}  // namespace dravolin
