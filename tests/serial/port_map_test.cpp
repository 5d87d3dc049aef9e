#include "serial/port_map.h"

#include <gtest/gtest.h>

#include <string>

namespace dravolin {
namespace {

// COMn's own device: the n-th built-in port.
#ifdef _WIN32
constexpr const char* kCom1 = "\\\\.\\COM1";
constexpr const char* kCom4 = "\\\\.\\COM4";
#else
constexpr const char* kCom1 = "/dev/ttyS0";
constexpr const char* kCom4 = "/dev/ttyS3";
#endif

TEST(PortMap, ComPortsNameSerialDevicesUnlessMappedAndBadMappingsAreRefused) {
    PortMap map;
    EXPECT_EQ(map.devicePathForName("COM1"), kCom1);
    EXPECT_EQ(map.devicePathForName("COM0"), "");  // no such port: nothing to open
    std::string error;
    EXPECT_TRUE(map.addMapping("3=/tmp/a=b", error));  // only the first '=' separates
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(map.devicePathForName("COM3"), "/tmp/a=b");
    EXPECT_EQ(map.devicePathForName("COM4"), kCom4);

    for (const char* bad : {"/dev/ttyUSB0", "0=/dev/x", "x=/dev/x", "2=", "9999999999=/dev/x"}) {
        error.clear();
        EXPECT_FALSE(map.addMapping(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(map.mappings().size(), 1u);  // refused mappings change nothing
}

}  // namespace
}  // namespace dravolin
