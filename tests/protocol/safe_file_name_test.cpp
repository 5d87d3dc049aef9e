#include "protocol/safe_file_name.h"

#include <gtest/gtest.h>

#include <string>

namespace dravolin {
namespace {

using namespace std::string_literals;

TEST(SafeFileName, DeviceNamesThatNameOneFileAreKeptAndOthersRefused) {
    const std::pair<std::string, std::string> cases[] = {
        {"TAG00001", "TAG00001"},
        {"AB      ", "AB"},
        {" A B    ", " A B"},
        {"-DASH", "-DASH"},
        {"a..b", "a..b"},
        {"...", "..."},
        {".hidden", ".hidden"},
        // Bytes above 0x9F are the device's own (Latin-1) characters, written in UTF-8.
        {"M\xe4SS", "M\xc3\xa4SS"},
        {"\xa0\xff", "\xc2\xa0\xc3\xbf"},
    };
    for (const auto& [deviceName, fileName] : cases) {
        std::string refusal = "left over";
        EXPECT_EQ(fileNameForDeviceName(deviceName, refusal), fileName) << deviceName;
        EXPECT_EQ(refusal, "");
    }

    // Names that could leave the folder or hide themselves.
    const std::pair<std::string, std::string> refusals[] = {
        {"", "is empty"},
        {"        ", "is empty"},
        {".", "\".\" names a folder"},
        {"..      ", "\"..\" names a folder"},
        {"../etc", "\"../etc\" holds a path separator"},
        {"a/b", "holds a path separator"},
        {"a\\b", "\"a\\\\b\" holds a path separator"},
        {"tab\there", "\"tab\\x09here\" holds a control character"},
        {"\x1b[2J", "holds a control character"},
        {"\x7f", "holds a control character"},
        {"A\x9b"
         "1m",
         "holds a control character"},
        {"nul\0x"s, "holds a control character"},
    };
    for (const auto& [deviceName, reason] : refusals) {
        std::string refusal;
        EXPECT_FALSE(fileNameForDeviceName(deviceName, refusal).has_value()) << deviceName;
        EXPECT_NE(refusal.find(reason), std::string::npos) << refusal;
    }
}

}  // namespace
}  // namespace dravolin
