#include "serial/port_scanner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_machine.h"

namespace dravolin {
namespace {

using test::FakeMachine;

const FakeMachine::Usb kAdapter{.name = "ttyUSB0",
                                .byId = "usb-Kestrel_KS-10_K0042-if00-port0",
                                .maker = "Kestrel",
                                .product = "Kestrel KS-10 USB serial",
                                .serialNumber = "K0042"};
const FakeMachine::Usb kModem{.name = "ttyACM0",
                              .byId = "usb-Lumen_Bridge_77-if00",
                              .maker = "Lumen Works",
                              .product = "Bridge",
                              .serialNumber = "77",
                              .driver = "cdc_acm",
                              .acm = true};

std::vector<std::string> pathsOf(const std::vector<SerialDevice>& devices) {
    std::vector<std::string> paths;
    for (const SerialDevice& device : devices) {
        paths.push_back(device.path);
    }
    return paths;
}

TEST(PortScanner, FindsAdaptersModemsAndBuiltInPortsAndSaysWhatEachIs) {
    FakeMachine machine;
    machine.addBuiltInPort("ttyS10", "4", "0x2E8");
    machine.addBuiltInPort("ttyS0", "4", "0x3F8");
    machine.addBuiltInPort("ttyS1", "0", "0x2F8");              // no UART answered
    machine.addBuiltInPort("ttyS2", "4", "0x0", "0x0");         // no address at all
    machine.addBuiltInPort("ttyS3", "4", "0x0", "0xFE215040");  // memory-mapped: present
    machine.addUsb(kModem);
    machine.addUsb(kAdapter);
    machine.addUsb({.name = "ttyUSB1", .driver = "plain_serial"});  // says nothing of itself
    machine.addVirtualTerminal("tty1");
    machine.addVirtualTerminal("tty");

    const std::vector<SerialDevice> devices = PortScanner(machine.root()).scan();
    // Stable names first, then the rest by name (ttyS3 before ttyS10), absent ports last;
    // terminals without hardware are not serial devices.
    EXPECT_EQ(pathsOf(devices), (std::vector<std::string>{
                                    "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS3",
                                    "/dev/ttyS10", "/dev/ttyUSB1", "/dev/ttyS1", "/dev/ttyS2"}));
    ASSERT_EQ(devices.size(), 8u);

    // Which names the device is shown and kept under is tested with the port settings dialog;
    // an adapter's, an I/O port's and an absent port's words with the CLI's port listing.
    EXPECT_EQ(devices[1].description(), "Lumen Works Bridge, serial number 77");
    EXPECT_EQ(devices[5].description(), "USB serial device (plain_serial)");
    EXPECT_EQ(devices[3].description(), "built-in serial port at memory 0xFE215040");
    for (int absent : {6, 7}) {
        EXPECT_TRUE(devices[absent].probablyAbsent) << devices[absent].path;
    }
}

TEST(PortScanner, AnUnpluggedDeviceIsGoneItsStableNameLeadsNowhereAndNoDevNoSysFindsNothing) {
    FakeMachine machine;
    machine.addUsb(kAdapter);
    machine.addBuiltInPort("ttyS0", "4", "0x3F8");
    const PortScanner scanner(machine.root());
    const std::string byId = "/dev/serial/by-id/" + kAdapter.byId;
    // udev may leave the stable name behind for a moment: it must lead nowhere.
    machine.unplug("ttyUSB0");
    EXPECT_EQ(pathsOf(scanner.scan()), std::vector<std::string>{"/dev/ttyS0"});
    EXPECT_FALSE(scanner.exists(byId));
    EXPECT_FALSE(scanner.exists("/dev/ttyUSB0"));
    EXPECT_EQ(scanner.resolve(byId), byId);

    // A machine without /dev or /sys finds nothing.
    test::TestFolder empty;
    const PortScanner nothing(empty.path());
    EXPECT_TRUE(nothing.scan().empty());
    EXPECT_FALSE(nothing.exists("/dev/ttyS0"));
    EXPECT_FALSE(nothing.exists(""));
}

}  // namespace
}  // namespace dravolin
