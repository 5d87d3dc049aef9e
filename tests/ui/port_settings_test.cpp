#include "ui/port_settings.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

TEST(PortSettings, DefaultsOpenCom1At9600EvenParity) {
    const PortSettings settings;
    EXPECT_EQ(settings.port, 1);
    EXPECT_EQ(settings.baudRate, 9600);
    EXPECT_EQ(settings.parity, 'E');
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.stopBits, 1);
    EXPECT_EQ(settings.language, 1);
    EXPECT_EQ(settings.portName(), "COM1");
    EXPECT_EQ(settings.settingsString(), "baud=9600 parity=E data=8 stop=1");
}

TEST(PortSettings, OtherSettingsFormatTheSameWay) {
    PortSettings settings;
    settings.port = 4;
    settings.baudRate = 57600;
    settings.parity = 'N';
    settings.stopBits = 2;
    EXPECT_EQ(settings.portName(), "COM4");
    EXPECT_EQ(settings.settingsString(), "baud=57600 parity=N data=8 stop=2");
    EXPECT_EQ(settingsStringFor(19200, 'E', 8, 1), "baud=19200 parity=E data=8 stop=1");
    EXPECT_EQ(settingsStringFor(38400, 'O', 8, 1), "baud=38400 parity=O data=8 stop=1");
}

TEST(PortSettings, FormattingNeverOverrunsItsBuffer) {
    const std::string longest =
        settingsStringFor(-2147483647 - 1, 'E', -2147483647 - 1, -2147483647 - 1);
    EXPECT_LE(longest.size(), 49u);
    EXPECT_EQ(longest.rfind("baud=-2147483648 parity=E data=", 0), 0u);
    EXPECT_EQ(portNameFor(12), "COM12");
}

}  // namespace
}  // namespace dravolin
