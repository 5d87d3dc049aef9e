#include "serial/platform/comm.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/pty_pair.h"

namespace dravolin::comm {
namespace {

TEST(CommPort, AWriteTheDeviceDoesNotTakeEndsAtItsTimeOutOrWhenAbandoned) {
    PtyPair pty;
    ASSERT_TRUE(pty.valid());
    const std::unique_ptr<Port> port = makeSystemPort();
    ASSERT_TRUE(port->open(pty.devicePath())) << errorText(lastError());

    const std::vector<std::uint8_t> flood(1 << 20, 0x55);  // more than the line buffers
    ASSERT_TRUE(port->setTimeouts(Timeouts{0, 0, 0, 0, 50}));
    EXPECT_EQ(port->write(flood, nullptr), WriteOutcome::EndedLate);

    ASSERT_TRUE(port->setTimeouts(Timeouts{}));  // no time-out at all
    Event abandon;
    abandon.set();
    EXPECT_EQ(port->write(flood, &abandon), WriteOutcome::Abandoned);
}

TEST(CommPort, AReadWaitsOnlyForTheFirstByteAndEndsWhenAbandoned) {
    PtyPair pty;
    ASSERT_TRUE(pty.valid());
    const std::unique_ptr<Port> port = makeSystemPort();
    ASSERT_TRUE(port->open(pty.devicePath())) << errorText(lastError());
    ASSERT_TRUE(port->setTimeouts(Timeouts{0, 0, 10000, 0, 0}));
    LineState raw;
    ASSERT_TRUE(port->readState(raw));
    ASSERT_TRUE(buildLineState("baud=57600 parity=N data=8 stop=1", raw));
    ASSERT_TRUE(port->applyState(raw));

    // Nothing waits: the read waits for the first byte, then takes what is there.
    std::array<std::uint8_t, 4096> buffer{};
    std::size_t count = 0;
    std::thread device([&] { EXPECT_TRUE(pty.send("late")); });
    EXPECT_EQ(port->read(buffer, count, nullptr), ReadOutcome::Read);
    device.join();
    EXPECT_GE(count, 1u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(count)),
              std::string("late").substr(0, count));

    // A wait for bytes that never come ends when abandoned, with nothing read.
    Event abandon;
    abandon.set();
    std::array<std::uint8_t, 8> rest{};
    std::size_t waiting = 0;
    while (port->bytesWaiting(waiting) && waiting > 0) {
        ASSERT_EQ(port->read(rest, count, nullptr), ReadOutcome::Read);
    }
    EXPECT_EQ(port->read(rest, count, &abandon), ReadOutcome::Nothing);
    EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace dravolin::comm
