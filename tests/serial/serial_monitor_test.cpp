#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial_link_fixture.h"

namespace dravolin {
namespace {

std::vector<std::uint8_t> patternOf(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 256 + 3) & 0xFF);
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
    const std::vector<std::uint8_t> sent = patternOf(20000);
    std::thread device([&] { EXPECT_TRUE(pty.send(sent)); });
    EXPECT_TRUE(waitUntil([&] { return owner.bytes.size() >= sent.size(); }));
    device.join();
    pumpEvents(20);

    ASSERT_EQ(owner.bytes.size(), sent.size());
    EXPECT_TRUE(
        std::equal(sent.begin(), sent.end(), owner.bytes.begin(),
                   [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
    ASSERT_FALSE(owner.messages.empty());
    EXPECT_EQ(owner.messages.front().message, MSG_CTS);
    for (const RecordingOwner::Message& message : owner.messages) {
        EXPECT_EQ(message.secondParameter, kPort);
        ASSERT_TRUE(message.message == MSG_CTS || message.message == MSG_RX_CHAR);
        if (message.message == MSG_CTS) {
            EXPECT_EQ(message.firstParameter, 0u);
        }
    }
}

struct MaskCase {
    unsigned mask;
    std::vector<unsigned> messages;
};

class EventMask : public SerialLinkTest, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(EventMask, TheMaskReadBackDecidesTheMessagesAndTheirOrder) {
    ASSERT_EQ(openLink(GetParam().mask), 1);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("x"));
    EXPECT_TRUE(waitUntil([&] { return owner.messages.size() >= GetParam().messages.size(); }));
    pumpEvents(30);
    EXPECT_EQ(owner.messageValues(), GetParam().messages);
    EXPECT_EQ(owner.bytes, "x");
}

INSTANTIATE_TEST_SUITE_P(
    Masks, EventMask,
    ::testing::Values(MaskCase{EV_RXCHAR, {MSG_RX_CHAR}},
                      MaskCase{EV_RXCHAR | EV_BREAK, {MSG_BREAK, MSG_RX_CHAR}},
                      MaskCase{EV_RXCHAR | EV_RXFLAG | EV_CTS | EV_BREAK | EV_ERR | EV_RING,
                               {MSG_CTS, MSG_RXFLAG, MSG_BREAK, MSG_ERR, MSG_RING, MSG_RX_CHAR}}));

TEST_F(SerialLinkTest, APortEventCompletingAtOnceWithNothingReceivedSendsNothing) {
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS), 1);
    PortOpening& opening = probe().opening();
    comm::FaultPlan plan;
    plan.staleEventCompletions = 3;
    opening.port().setFaultPlan(plan);
    std::atomic<int> sleeps{0};
    opening.hooks().beforeWait = [&] { ++sleeps; };
    ASSERT_TRUE(startMonitoring());

    EXPECT_TRUE(waitUntil([&] { return sleeps.load() >= 1; }));
    pumpEvents(30);
    EXPECT_TRUE(owner.messages.empty());  // treated as an event, it would have sent MSG_CTS
    EXPECT_EQ(opening.loopPasses(), 4u);  // three stale completions, then the real wait

    ASSERT_TRUE(pty.send("z"));
    EXPECT_TRUE(waitUntil([&] { return owner.bytes.size() >= 1; }));
    EXPECT_EQ(owner.messageValues(), (std::vector<unsigned>{MSG_CTS, MSG_RX_CHAR}));
}

class FailingRead : public SerialLinkTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FailingRead, ShowsOneWarningAndAddsNoByte) {
    const bool atOnce = GetParam();
    ASSERT_EQ(openLink(EV_RXCHAR | EV_CTS), 1);
    comm::FaultPlan plan;
    (atOnce ? plan.readFailuresAtOnce : plan.readFailuresLate) = 1;
    probe().opening().port().setFaultPlan(plan);
    ASSERT_TRUE(startMonitoring());

    ASSERT_TRUE(pty.send("AB"));
    EXPECT_TRUE(waitUntil([&] { return owner.bytes.size() >= 2; }));
    pumpEvents(30);
    EXPECT_EQ(owner.bytes, "AB");
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
    const std::vector<std::uint8_t> frame = patternOf(GetParam());
    requestWrite(frame);
    EXPECT_EQ(pty.receive(frame.size(), 20000), frame);
    EXPECT_TRUE(pty.receiveUntilQuiet(50).empty());
    EXPECT_TRUE(presenter.warnings().empty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, FrameLength,
                         ::testing::Values(1u, 2u, 18u, 512u, 513u, 4096u, 10001u));

TEST_F(SerialLinkTest, AWriteTakesTheWriteLengthButNeverMoreThanTheFrameHolds) {
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(startMonitoring());
    port->setWriteLength(3);
    port->requestWrite(bytesOf("ABCDEF"));
    EXPECT_EQ(pty.receive(3, 10000), bytesOf("ABC"));
    EXPECT_TRUE(pty.receiveUntilQuiet(50).empty());

    port->setWriteLength(100);
    port->requestWrite(bytesOf("XY"));
    EXPECT_EQ(pty.receive(2, 10000), bytesOf("XY"));
    EXPECT_TRUE(pty.receiveUntilQuiet(50).empty());
}

TEST_F(SerialLinkTest, BytesWaitingWhenAWriteBeginsAreDiscarded) {
    ASSERT_EQ(openLink(), 1);
    const int fd = probe().portFd();
    std::atomic<bool> arrived{false};
    probe().opening().hooks().beforeWritePurge = [&] {
        // Late bytes of an earlier answer, waiting unread as the next frame goes out.
        arrived = pty.send("old") && sleepUntil([&] { return bytesWaitingOn(fd) >= 3; });
    };
    ASSERT_TRUE(startMonitoring());
    requestWrite(bytesOf("CMD"));
    EXPECT_EQ(pty.receive(3, 10000), bytesOf("CMD"));
    EXPECT_TRUE(arrived);

    ASSERT_TRUE(pty.send("new"));
    EXPECT_TRUE(waitUntil([&] { return owner.bytes.size() >= 3; }));
    pumpEvents(30);
    EXPECT_EQ(owner.bytes, "new");
}

// ---- ending

TEST_F(SerialLinkTest, ShutdownPortEventAndWriteRequestTogetherEndTheThreadWithoutIo) {
    ASSERT_EQ(openLink(), 1);
    PortOpening& opening = probe().opening();
    const int fd = probe().portFd();
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
    requestWrite(bytesOf("frame"));
    ASSERT_TRUE(startMonitoring());

    EXPECT_TRUE(sleepUntil([&] { return opening.exitCode() == 100; }));
    EXPECT_TRUE(ready);
    EXPECT_EQ(opening.threadAlive(), 0);
    pumpEvents(30);
    EXPECT_TRUE(owner.messages.empty());
    EXPECT_EQ(bytesWaitingOn(fd), 3);                // nothing was read
    EXPECT_TRUE(pty.receiveUntilQuiet(50).empty());  // nothing was written
    port->closePort();
}

class PendingDelivery : public SerialLinkTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(PendingDelivery, ClosePortReturnsAtOnceAndOnlyThatDeliveryArrives) {
    ASSERT_EQ(openLink(GetParam()), 1);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("ABCDEF"));
    // No event loop runs meanwhile, so the first hand-over stays pending.
    PortOpening& opening = probe().opening();
    ASSERT_TRUE(sleepUntil([&] { return opening.pendingDeliverySize() > 0; }));
    const std::size_t pending = opening.pendingDeliverySize();

    port->closePort();  // would never return if it waited for the monitor thread
    ASSERT_TRUE(pty.send("GHI"));
    EXPECT_TRUE(waitUntil([&] { return owner.messages.size() >= pending; }));
    pumpEvents(100);
    EXPECT_EQ(owner.messages.size(), pending);
    if (GetParam() & EV_CTS) {
        EXPECT_EQ(owner.messageValues(), std::vector<unsigned>{MSG_CTS});
    } else {
        EXPECT_EQ(owner.bytes, std::string("ABCDEF").substr(0, pending));
    }
}

INSTANTIATE_TEST_SUITE_P(CtsOrBytes, PendingDelivery,
                         ::testing::Values(EV_RXCHAR | EV_CTS, EV_RXCHAR));

TEST_F(SerialLinkTest, ADeviceHangingUpMidReplyStopsTheWatchWithOneWarningAtMost) {
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(startMonitoring());
    PortOpening& opening = probe().opening();
    ASSERT_TRUE(pty.send("AB"));
    pty.hangUp();

    // The loop settles: no spinning on a device that keeps reporting its hang-up.
    unsigned passes = opening.loopPasses();
    for (int round = 0; round < 50; ++round) {
        pumpEvents(100);
        const unsigned now = opening.loopPasses();
        if (now == passes) {
            break;
        }
        passes = now;
    }
    EXPECT_LE(passes, 5u);
    EXPECT_EQ(std::string("AB").substr(0, owner.bytes.size()), owner.bytes);

    // Frames for the dead device: one warning for the opening, the rest dropped quietly.
    for (int i = 0; i < 3; ++i) {
        requestWrite(bytesOf("frame"));
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
    probe().opening().port().setFaultPlan(plan);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("AB"));
    ASSERT_TRUE(waitUntil([&] { return presenter.warnings().size() == 1; }));
    EXPECT_FALSE(presenter.warnings()[0].withdrawn);

    port->closePort();
    EXPECT_TRUE(presenter.warnings()[0].withdrawn);
    pumpEvents(100);
    EXPECT_TRUE(owner.messages.empty());
}

TEST_F(SerialLinkTest, DestroyingThePortWithADeliveryPendingNeitherHangsNorDelivers) {
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("A"));
    PortOpening& opening = probe().opening();
    ASSERT_TRUE(sleepUntil([&] { return opening.pendingDeliverySize() > 0; }));
    port.reset();
    pumpEvents(50);
    EXPECT_TRUE(owner.messages.empty());
}

TEST_F(SerialLinkTest, DestroyingThePortWithAWarningUpTakesItDown) {
    presenter.holdAnswers();
    ASSERT_EQ(openLink(EV_RXCHAR), 1);
    comm::FaultPlan plan;
    plan.readFailuresAtOnce = 1;
    probe().opening().port().setFaultPlan(plan);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("A"));
    ASSERT_TRUE(waitUntil([&] { return presenter.warnings().size() == 1; }));
    port.reset();
    EXPECT_TRUE(presenter.warnings()[0].withdrawn);
}

}  // namespace
}  // namespace dravolin
