#include "ui/file_dialog_options.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

// The device chooses these names; they must not lead the save dialog elsewhere. The rule
// itself is tested with the protocol; here, what the dialog offers.
TEST(FileDialogOptions, DeviceNamesAreOfferedOnlyWhenTheyAreFileNames) {
    EXPECT_EQ(fileNameFromDeviceName("ABC     "), "ABC");
    // Bytes above 0x9F are the device's own characters, not an encoding error.
    EXPECT_EQ(fileNameFromDeviceName("M\xe4SS"), QString::fromUtf8("MäSS"));
    for (const char* refused : {"../etc/x", "..", "A\tB", "\x1b[2J"}) {
        EXPECT_EQ(fileNameFromDeviceName(refused), "") << refused;
    }
}

}  // namespace
}  // namespace dravolin
