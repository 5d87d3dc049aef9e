#include "ui/file_dialog_options.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

// The device chooses these names; they must not lead the save dialog elsewhere.
TEST(FileDialogOptions, DeviceNamesBecomeHarmlessFileNames) {
    EXPECT_EQ(fileNameFromDeviceName("ABC     "), "ABC");
    EXPECT_EQ(fileNameFromDeviceName("../etc/x"), ".._etc_x");
    EXPECT_EQ(fileNameFromDeviceName(std::string_view("A\tB\x01\x7f", 5)), "A_B__");
    EXPECT_EQ(fileNameFromDeviceName(".."), "__");
    // Bytes above 127 are the device's own characters, not an encoding error.
    EXPECT_EQ(fileNameFromDeviceName("M\xe4SS"), QString::fromUtf8("MäSS"));
}

}  // namespace
}  // namespace dravolin
