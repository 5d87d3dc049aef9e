#include "core/port_settings.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

TEST(PortSettings, SettingsStringsAreFormattedSafelyEvenForExtremeValues) {
    EXPECT_EQ(settingsStringFor(57600, 'N', 8, 2), "baud=57600 parity=N data=8 stop=2");
    const int least = -2147483647 - 1;
    const std::string longest = settingsStringFor(least, 'E', least, least);
    EXPECT_LE(longest.size(), 49u);  // cut to its 50-byte buffer, never overrun
    EXPECT_EQ(longest.rfind("baud=-2147483648 parity=E data=", 0), 0u);
}

}  // namespace
}  // namespace dravolin
