#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "serial/serial_link_fixture.h"

namespace dravolin {
namespace {

std::size_t bytesWaitingOn(comm::Port& device) {
    std::size_t waiting = 0;
    device.bytesWaiting(waiting);
    return waiting;
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

// A port event completing at once with nothing received sends nothing; a read that fails
// shows one warning and adds no byte; closing takes down a warning still on screen and
// delivers nothing more.
TEST_F(SerialLinkTest, StaleEventsSendNothingAFailedReadWarnsOnceAndClosingTakesItDown) {
    ports.plan.staleEventCompletions = 3;
    ports.plan.readFailuresLate = 1;
    ASSERT_TRUE(openAndMonitor(EV_RXCHAR | EV_CTS));  // waits for the first sleep on the signals
    EXPECT_EQ(device().eventWaitsBegun(), 4);         // three stale completions, then the real wait

    // Each hand-over is handled before the thread goes on: anything a stale completion had
    // sent (MSG_CTS, as an event) would be here ahead of the bytes' own.
    ASSERT_TRUE(pty.send("AB"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 2; }));
    pumpEvents(30);
    EXPECT_EQ(bytes, "AB");
    EXPECT_EQ(messages.front(), MSG_CTS);  // told before the read that failed
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

// Bytes from before a frame goes out are never its answer: neither those the monitor thread
// has already read nor those still waiting on the line.
TEST_F(SerialLinkTest, BytesFromBeforeAFrameGoesOutNeverCountAsItsAnswer) {
    std::atomic<bool> writeRequested{false};
    std::atomic<bool> arrived{false};
    ports.plan.beforePurge = [&](comm::Port& real) {
        if (writeRequested.exchange(false)) {
            // Late bytes of an earlier answer, waiting unread as the next frame goes out.
            arrived = pty.send("old") && sleepUntil([&] { return bytesWaitingOn(real) >= 3; });
        }
    };
    ASSERT_TRUE(openAndMonitor());
    // Stray bytes just before the frame: the monitor thread has read them and waits for
    // the owner, who meanwhile asks for the frame to go out.
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
    // Once the monitor thread has let go, whatever it wrote is waiting on the other side.
    port.reset();
    ASSERT_TRUE(sleepUntil([&] { return ports.alive() == 0; }));
    EXPECT_EQ(pty.receive(5, 100), "");
}

// ---- ending

// Closes the port the moment the first hand-over from the monitor thread is about to
// reach the owner (the interface thread is woken by a posted call or a watched descriptor):
// it was on its way before the close.
class CloseOnFirstHandOver : public QObject {
public:
    explicit CloseOnFirstHandOver(SerialPort& port) : port_(port) {}
    bool closed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!closed && (type == QEvent::MetaCall || type == QEvent::SockAct)) {
            closed = true;
            port_.closePort();  // would never return if it waited for the monitor thread
        }
        return QObject::eventFilter(watched, event);
    }

private:
    SerialPort& port_;
};

TEST_F(SerialLinkTest, BytesOnTheirWayWhenThePortIsClosedNeverReachTheOwner) {
    ASSERT_TRUE(openAndMonitor(EV_RXCHAR | EV_CTS));
    CloseOnFirstHandOver closer(*port);
    QCoreApplication::instance()->installEventFilter(&closer);
    ASSERT_TRUE(pty.send("ABCDEF"));
    EXPECT_TRUE(waitUntil([&] { return closer.closed; }));
    QCoreApplication::instance()->removeEventFilter(&closer);

    // The next opening lets go of the closed one; once its monitor thread has too, nothing of
    // it can be on its way, and what the event loop still holds is handled at once.
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS), 1);
    ASSERT_TRUE(sleepUntil([&] { return ports.alive() == 1; }));
    QCoreApplication::processEvents();
    // Taken by the owner, they would answer whatever it asks on its next opening.
    EXPECT_TRUE(messages.empty());

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
