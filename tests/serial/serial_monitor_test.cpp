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
