#include "serial/platform/comm.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/pty_pair.h"

namespace dravolin::comm {
namespace {

TEST(CommPort, AWriteTheDeviceDoesNotTakeEndsAtItsTimeOutOrWhenAbandoned) {
    PtyPair pty;
    ASSERT_TRUE(pty.valid());
    Port port;
    ASSERT_TRUE(port.open(pty.devicePath())) << errorText(lastError());

    const std::vector<std::uint8_t> flood(1 << 20, 0x55);  // more than the line buffers
    ASSERT_TRUE(port.setTimeouts(Timeouts{0, 0, 0, 0, 50}));
    EXPECT_EQ(port.write(flood, nullptr), WriteOutcome::EndedLate);

    ASSERT_TRUE(port.setTimeouts(Timeouts{}));  // no time-out at all
    Event abandon;
    abandon.set();
    EXPECT_EQ(port.write(flood, &abandon), WriteOutcome::Abandoned);
}

TEST(CommPort, APathThatIsNotATerminalIsRefused) {
    Port port;
    EXPECT_FALSE(port.open("/dev/null"));
    EXPECT_EQ(lastError(), ENOTTY);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace dravolin::comm
