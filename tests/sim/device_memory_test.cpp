#include "sim/device_memory.h"

#include <gtest/gtest.h>

#include <string>

namespace dravolin {
namespace {

std::string fileNameOf(const std::string& field) {
    const Bytes bytes(field.begin(), field.end());
    return DeviceMemory::fileNameOf(bytes);
}

TEST(DeviceMemoryNamesTest, TrailingSpacesAreNotPartOfTheFileName) {
    EXPECT_EQ(fileNameOf("AB      "), "AB");
    EXPECT_EQ(fileNameOf("A B     "), "A B");
    EXPECT_EQ(fileNameOf("TAG00001"), "TAG00001");
}

TEST(DeviceMemoryNamesTest, NamesThatCannotBeFileNamesAreRefused) {
    EXPECT_EQ(fileNameOf("        "), "");
    EXPECT_EQ(fileNameOf("../etc  "), "");
    EXPECT_EQ(fileNameOf("a/b     "), "");
    EXPECT_EQ(fileNameOf(std::string("a\0b     ", 8)), "");
    EXPECT_EQ(fileNameOf("a\tb     "), "");
    EXPECT_EQ(fileNameOf("caf\xc3\xa9   "), "");
}

}  // namespace
}  // namespace dravolin
