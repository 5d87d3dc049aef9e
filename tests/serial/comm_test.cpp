#include "serial/platform/comm.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <array>
#include <string>
#include <vector>

#include "serial/pty_pair.h"

namespace dravolin::comm {
namespace {

bool readableWithin(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, milliseconds) > 0;
}

TEST(CommEvents, WaitNamesTheLowestSetEventAndEventsStaySetUntilReset) {
    Event first, second, third;
    std::array<Event*, 3> events{&first, &second, &third};
    third.set();
    second.set();
    EXPECT_EQ(waitForAny(events, nullptr), 1);
    EXPECT_EQ(waitForAny(events, nullptr), 1);  // manual reset: still set
    second.reset();
    EXPECT_FALSE(second.isSet());
    EXPECT_EQ(waitForAny(events, nullptr), 2);
    first.set();
    EXPECT_EQ(waitForAny(events, nullptr), 0);
}

class CommPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.valid());
        ASSERT_TRUE(port.open(pty.devicePath())) << errorText(lastError());
        LineState state;
        ASSERT_TRUE(port.readState(state));
        ASSERT_TRUE(buildLineState("baud=9600 parity=N data=8 stop=1", state));
        ASSERT_TRUE(port.applyState(state));
        ASSERT_TRUE(port.setEventMask(kEventReceived));
    }

    PtyPair pty;
    Port port;
};

TEST_F(CommPortTest, ArmedWaitCompletesWhenBytesArriveAndWhenTheDeviceHangsUp) {
    Event shutdown, completion;
    std::array<Event*, 2> events{&shutdown, &completion};
    ASSERT_EQ(port.beginEventWait(completion), WaitStart::Pending);
    ASSERT_TRUE(pty.send("x"));
    EXPECT_EQ(waitForAny(events, &port), 1);
    EXPECT_TRUE(completion.isSet());
    EXPECT_FALSE(port.hungUp());

    // With the byte still waiting the next wait completes at once.
    EXPECT_EQ(port.beginEventWait(completion), WaitStart::CompletedAtOnce);
    ASSERT_TRUE(port.purge());
    ASSERT_EQ(port.beginEventWait(completion), WaitStart::Pending);
    pty.hangUp();
    EXPECT_EQ(waitForAny(events, &port), 1);
    EXPECT_TRUE(port.hungUp());
    EXPECT_EQ(port.beginEventWait(completion), WaitStart::Failed);
}

TEST_F(CommPortTest, BytesWaitingCountTheQueueAndAPurgeEmptiesIt) {
    ASSERT_TRUE(pty.send("abcdef"));
    ASSERT_TRUE(readableWithin(port.fd(), 5000));
    std::uint8_t byte = 0;
    ASSERT_EQ(port.readByte(byte, nullptr), ReadOutcome::Byte);
    EXPECT_EQ(byte, 'a');
    std::size_t waiting = 0;
    ASSERT_TRUE(port.bytesWaiting(waiting));
    EXPECT_EQ(waiting, 5u);
    ASSERT_EQ(port.readByte(byte, nullptr), ReadOutcome::Byte);
    EXPECT_EQ(byte, 'b');
    ASSERT_TRUE(port.purge());
    ASSERT_TRUE(port.bytesWaiting(waiting));
    EXPECT_EQ(waiting, 0u);
    ASSERT_TRUE(port.setTimeouts(Timeouts{10, 10, 10, 10, 10}));
    EXPECT_EQ(port.readByte(byte, nullptr), ReadOutcome::NoByte);
}

TEST_F(CommPortTest, AWriteTheDeviceDoesNotTakeEndsAtItsTimeOutOrWhenAbandoned) {
    const std::vector<std::uint8_t> flood(1 << 20, 0x55);  // more than the line buffers
    ASSERT_TRUE(port.setTimeouts(Timeouts{0, 0, 0, 0, 50}));
    EXPECT_EQ(port.write(flood, nullptr), WriteOutcome::EndedLate);

    ASSERT_TRUE(port.setTimeouts(Timeouts{}));  // no time-out at all
    Event abandon;
    abandon.set();
    EXPECT_EQ(port.write(flood, &abandon), WriteOutcome::Abandoned);
}

TEST_F(CommPortTest, AnotherOpeningOfTheDeviceIsRefusedUntilThisOneLetsGo) {
    Port second;
    EXPECT_FALSE(second.open(pty.devicePath()));
    EXPECT_EQ(lastError(), EBUSY);
    port.releaseExclusiveUse();
    EXPECT_TRUE(second.open(pty.devicePath())) << errorText(lastError());
}

TEST(CommOpen, APathThatIsNotATerminalIsRefused) {
    Port port;
    EXPECT_FALSE(port.open("/dev/null"));
    EXPECT_EQ(lastError(), ENOTTY);
    EXPECT_FALSE(port.open("/nonexistent/dravolin-tty"));
    EXPECT_EQ(lastError(), ENOENT);
    EXPECT_FALSE(port.isOpen());
}

TEST(CommSettings, TextsNotOfTheAgreedFormAreRefused) {
    const std::vector<std::string> refused{
        "",
        "baud=9600 parity=E data=8",
        "baud=9600 parity=X data=8 stop=1",
        "baud=9600  parity=E data=8 stop=1",
        "baud=9600 parity=E data=8 stop=1 ",
        "baud=-9600 parity=E data=8 stop=1",
        "baud=0 parity=E data=8 stop=1",
        "baud=9600 parity=E data=9 stop=1",
        "baud=9600 parity=E data=8 stop=3",
        "baud=9600 parity=EE data=8 stop=1",
        "baud=9600 parity=E data=8 stop=1 baud=19200",
        "speed=9600 parity=E data=8 stop=1",
        "baud=9600 parity=E data=8 stop",
    };
    for (const std::string& text : refused) {
        LineState state;
        setLastError(0);
        EXPECT_FALSE(buildLineState(text, state)) << text;
        EXPECT_EQ(lastError(), EINVAL) << text;
    }
    LineState state;
    EXPECT_TRUE(buildLineState("baud=57600 parity=n data=8 stop=2", state));
    EXPECT_EQ(state.baud, 57600);
}

TEST(CommErrors, CodesWithoutASystemTextHaveNoText) {
    EXPECT_FALSE(errorText(EINVAL).empty());
    EXPECT_TRUE(errorText(98765).empty());
}

}  // namespace
}  // namespace dravolin::comm
