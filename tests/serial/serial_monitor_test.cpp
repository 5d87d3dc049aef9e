#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial_link_fixture.h"

namespace dravolin {
namespace {

std::string patternOf(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 256 + 3) & 0xFF);
    }
    return bytes;
}

int bytesWaitingOn(int fd) {
    int waiting = -1;
    ioctl(fd, FIONREAD, &waiting);
    return waiting;
}

// ---- reading

TEST_F(SerialLinkTest, BytesReachTheOwnerInOrderWithThePortNumberAndCtsFirst) {
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS), 1);
    ASSERT_TRUE(startMonitoring());
    const std::string sent = patternOf(20000);
    std::thread device([&] { EXPECT_TRUE(pty.send(sent)); });
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= sent.size(); }));
    device.join();
    pumpEvents(20);

    EXPECT_TRUE(bytes == sent);  // the port number is checked as each message arrives
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), MSG_CTS);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), MSG_CTS) + bytes.size(),
              messages.size());
}

TEST_F(SerialLinkTest, APortEventCompletingAtOnceWithNothingReceivedSendsNothing) {
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS), 1);
    PortOpening& opening = currentOpening();
    comm::FaultPlan plan;
    plan.staleEventCompletions = 3;
    opening.port().setFaultPlan(plan);
    std::atomic<int> sleeps{0};
    opening.hooks().beforeWait = [&] { ++sleeps; };
    ASSERT_TRUE(startMonitoring());

    EXPECT_TRUE(waitUntil([&] { return sleeps.load() >= 1; }));
    pumpEvents(30);
    EXPECT_TRUE(messages.empty());        // treated as an event, it would have sent MSG_CTS
    EXPECT_EQ(opening.loopPasses(), 4u);  // three stale completions, then the real wait

    ASSERT_TRUE(pty.send("z"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 1; }));
    EXPECT_EQ(messages, (std::vector<unsigned>{MSG_CTS, MSG_RX_CHAR}));
}

class FailingRead : public SerialLinkTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FailingRead, ShowsOneWarningAndAddsNoByte) {
    const bool atOnce = GetParam();
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS), 1);
    comm::FaultPlan plan;
    (atOnce ? plan.readFailuresAtOnce : plan.readFailuresLate) = 1;
    currentOpening().port().setFaultPlan(plan);
    ASSERT_TRUE(startMonitoring());

    ASSERT_TRUE(pty.send("AB"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 2; }));
    pumpEvents(30);
    EXPECT_EQ(bytes, "AB");
    ASSERT_EQ(presenter.warnings().size(), 1u);
    EXPECT_EQ(presenter.warnings()[0].caption, "Application Error");
    EXPECT_EQ(presenter.warnings()[0].text,
              expectedWarning(atOnce ? "ReadFile()" : "GetOverlappedResults() in ReadFile()", EIO));
}

INSTANTIATE_TEST_SUITE_P(AtOnceAndLate, FailingRead, ::testing::Bool());

// ---- writing

class FrameLength : public SerialLinkTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(FrameLength, AFrameIsWrittenWholeAndAlone) {
    ASSERT_EQ(openLink(), 1);  // asks for the 512-byte write buffer the window asks for
    ASSERT_TRUE(startMonitoring());
    const std::string frame = patternOf(GetParam());
    requestWrite(frame);
    EXPECT_TRUE(pty.receive(frame.size(), 20000) == frame);
    EXPECT_EQ(pty.receive(1, 50), "");
    EXPECT_TRUE(presenter.warnings().empty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, FrameLength, ::testing::Values(1u, 512u, 513u, 10001u));

TEST_F(SerialLinkTest, AWriteTakesTheWriteLengthButNeverMoreThanTheFrameHolds) {
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(startMonitoring());
    port->setWriteLength(3);
    port->requestWrite(std::vector<std::uint8_t>{'A', 'B', 'C', 'D'});
    EXPECT_EQ(pty.receive(4, 500), "ABC");
    port->setWriteLength(100);
    port->requestWrite(std::vector<std::uint8_t>{'X', 'Y'});
    EXPECT_EQ(pty.receive(3, 500), "XY");
}

TEST_F(SerialLinkTest, BytesWaitingWhenAWriteBeginsAreDiscarded) {
    ASSERT_EQ(openLink(), 1);
    const int fd = portFd();
    std::atomic<bool> arrived{false};
    currentOpening().hooks().beforeWritePurge = [&] {
        // Late bytes of an earlier answer, waiting unread as the next frame goes out.
        arrived = pty.send("old") && sleepUntil([&] { return bytesWaitingOn(fd) >= 3; });
    };
    ASSERT_TRUE(startMonitoring());
    requestWrite("CMD");
    EXPECT_EQ(pty.receive(3, 10000), "CMD");
    EXPECT_TRUE(arrived);

    ASSERT_TRUE(pty.send("new"));
    EXPECT_TRUE(waitUntil([&] { return bytes.size() >= 3; }));
    pumpEvents(30);
    EXPECT_EQ(bytes, "new");
}

// ---- ending

TEST_F(SerialLinkTest, ShutdownPortEventAndWriteRequestTogetherEndTheThreadWithoutIo) {
    ASSERT_EQ(openLink(), 1);
    PortOpening& opening = currentOpening();
    const int fd = portFd();
    std::atomic<bool> ready{false};
    int hookRuns = 0;  // monitor thread only
    opening.hooks().beforeWait = [&] {
        if (++hookRuns > 1) {
            return;
        }
        ready = pty.send("abc") && sleepUntil([&] { return bytesWaitingOn(fd) >= 3; });
        opening.commEvent().set();
        opening.shutdownEvent().set();
    };
    requestWrite("frame");
    ASSERT_TRUE(startMonitoring());

    EXPECT_TRUE(sleepUntil([&] { return opening.exitCode() == 100; }));
    EXPECT_TRUE(ready);
    EXPECT_EQ(opening.threadAlive(), 0);
    pumpEvents(30);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(bytesWaitingOn(fd), 3);   // nothing was read
    EXPECT_EQ(pty.receive(1, 50), "");  // nothing was written
    port->closePort();
}

TEST_F(SerialLinkTest, ClosePortWithADeliveryPendingReturnsAtOnceAndOnlyThatDeliveryArrives) {
    ASSERT_EQ(openLink(EV_RXCHAR), 1);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("ABCDEF"));
    // No event loop runs meanwhile, so the first hand-over stays pending.
    PortOpening& opening = currentOpening();
    ASSERT_TRUE(sleepUntil([&] { return opening.pendingDeliverySize() > 0; }));
    const std::size_t pending = opening.pendingDeliverySize();

    port->closePort();  // would never return if it waited for the monitor thread
    ASSERT_TRUE(pty.send("GHI"));
    EXPECT_TRUE(waitUntil([&] { return messages.size() >= pending; }));
    pumpEvents(100);
    EXPECT_EQ(messages.size(), pending);
    EXPECT_EQ(bytes, std::string("ABCDEF").substr(0, pending));
}

TEST_F(SerialLinkTest, ADeviceHangingUpMidReplyStopsTheWatchWithOneWarningAtMost) {
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(startMonitoring());
    PortOpening& opening = currentOpening();
    ASSERT_TRUE(pty.send("AB"));
    pty.hangUp();

    // The loop settles: no spinning on a device that keeps reporting its hang-up.
    unsigned passes = 0;
    for (int round = 0; round < 50 && passes != opening.loopPasses(); ++round) {
        passes = opening.loopPasses();
        pumpEvents(100);
    }
    EXPECT_LE(passes, 5u);
    EXPECT_EQ(std::string("AB").substr(0, bytes.size()), bytes);

    // Frames for the dead device: one warning for the opening, the rest dropped quietly.
    for (int i = 0; i < 3; ++i) {
        requestWrite("frame");
        EXPECT_TRUE(waitUntil(
            [&] { return !opening.writeEvent().isSet() && opening.loopPasses() > passes; }));
        passes = opening.loopPasses();
    }
    pumpEvents(100);
    EXPECT_EQ(opening.loopPasses(), passes);
    ASSERT_LE(presenter.warnings().size(), 1u);
    for (const RecordingPresenter::Warning& warning : presenter.warnings()) {
        EXPECT_EQ(warning.text, expectedWarning("WriteFile()", EIO));
    }
    port->closePort();
}

TEST_F(SerialLinkTest, HaltingTakesDownTheMonitorThreadsWarningAndDeliversNothingMore) {
    presenter.holdAnswers();
    ASSERT_EQ(openLink(EV_RXCHAR), 1);
    comm::FaultPlan plan;
    plan.readFailuresAtOnce = 1;
    currentOpening().port().setFaultPlan(plan);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("AB"));
    ASSERT_TRUE(waitUntil([&] { return presenter.warnings().size() == 1; }));
    EXPECT_FALSE(presenter.warnings()[0].withdrawn);

    port->closePort();
    EXPECT_TRUE(presenter.warnings()[0].withdrawn);
    pumpEvents(100);
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace dravolin
