#include <algorithm>

#include "serial_link_fixture.h"

namespace dravolin {
namespace {

// A device that goes away is told to the owner at once, once, after what it sent before.
TEST_F(SerialLinkTest, ADeviceThatGoesIsToldOnceAfterTheBytesItSent) {
    ASSERT_EQ(openLink(), 1);
    ASSERT_TRUE(startMonitoring());
    ASSERT_TRUE(pty.send("ABC"));
    ASSERT_TRUE(waitUntil([&] { return bytes == "ABC"; }));
    pty.hangUp();

    ASSERT_TRUE(waitUntil(
        [&] { return std::count(messages.begin(), messages.end(), MSG_LINE_GONE) == 1; }));
    // Frames for the dead device fail, but it is not told again.
    requestWrite("frame");
    requestWrite("frame");
    pumpEvents(200);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), MSG_LINE_GONE), 1);
    EXPECT_EQ(bytes, "ABC");
    port->closePort();
}

}  // namespace
}  // namespace dravolin
