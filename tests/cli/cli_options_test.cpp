#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include "protocol/safe_file_name.h"

namespace dravolin {
namespace {

struct Parsed {
    bool ok;
    CliOptions options;
    std::string error;
};

Parsed parse(std::vector<std::string> arguments) {
    Parsed parsed{};
    parsed.ok = CliOptions::parse(arguments, parsed.options, parsed.error);
    return parsed;
}

TEST(CliOptions, DefaultsAreThoseOfTheSettingsRecord) {
    const Parsed p = parse({"list"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.command, CliOptions::Command::List);
    EXPECT_EQ(p.options.settings.settingsString(), "baud=9600 parity=E data=8 stop=1");
    EXPECT_EQ(p.options.portMap.devicePath(1), "/dev/ttyS0");
}

TEST(CliOptions, LineSettingsAndPorts) {
    const Parsed p = parse(
        {"--port", "3", "--baud", "57600", "--parity", "N", "--stop-bits", "2", "put", "x.tiv"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.settings.port, 3);
    EXPECT_EQ(p.options.settings.settingsString(), "baud=57600 parity=N data=8 stop=2");
    EXPECT_EQ(p.options.inputPath, "x.tiv");
}

TEST(CliOptions, DeviceMapsTheChosenPortWhereverItStands) {
    const Parsed p = parse({"--device", "/dev/pts/7", "--port", "2", "get", "TAG1", "-o", "a"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.settings.port, 2);
    EXPECT_EQ(p.options.portMap.devicePath(2), "/dev/pts/7");
    EXPECT_EQ(p.options.name, "TAG1");
    EXPECT_EQ(p.options.outputPath, "a");

    const Parsed mapped = parse({"--port", "4=/dev/ttyUSB0", "list"});
    ASSERT_TRUE(mapped.ok) << mapped.error;
    EXPECT_EQ(mapped.options.settings.port, 4);
    EXPECT_EQ(mapped.options.portMap.devicePath(4), "/dev/ttyUSB0");
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no command"},
        {{"fetch"}, "unknown command"},
        {{"get"}, "wrong arguments for get"},
        {{"put", "a", "b"}, "wrong arguments for put"},
        {{"--baud", "1234", "list"}, "--baud"},
        {{"--baud"}, "needs a value"},
        {{"--parity", "X", "list"}, "--parity"},
        {{"--stop-bits", "3", "list"}, "--stop-bits"},
        {{"--port", "5", "list"}, "--port"},
        {{"--port", "x", "list"}, "--port"},
        {{"--port", "2=", "list"}, ""},
        {{"--device", "", "list"}, "--device"},
        {{"--verbose", "list"}, "unknown option --verbose"},
        {{"-o", "f", "list"}, "-o goes with get only"},
        {{"--language", "fr", "list"}, "--language takes de or en"},
    };
    for (const auto& [arguments, message] : cases) {
        const Parsed p = parse(arguments);
        EXPECT_FALSE(p.ok) << message;
        EXPECT_FALSE(p.error.empty());
        EXPECT_NE(p.error.find(message), std::string::npos) << p.error;
    }
}

TEST(CliOptions, LanguageIsLeftToTheLocaleUnlessGiven) {
    EXPECT_FALSE(parse({"list"}).options.language.has_value());
    EXPECT_EQ(parse({"--language", "de", "list"}).options.language, Language::German);
    EXPECT_EQ(parse({"list", "--language", "en"}).options.language, Language::English);
}

TEST(CliOptions, HelpWinsOverEverythingElse) {
    EXPECT_EQ(parse({"--bogus", "--help"}).options.command, CliOptions::Command::Help);
    EXPECT_EQ(parse({"list", "--help"}).options.command, CliOptions::Command::Help);
}

TEST(SafeFileName, NamesFromTheDeviceThatCouldLeaveTheFolderAreRefused) {
    for (const char* name : {"TAG00001", "a b", "tag-1_x", "A.B"}) {
        EXPECT_TRUE(isSafeFileName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "a..b", "../etc", "a/b", "a\\b", "tab\there", "\x7f"}) {
        EXPECT_FALSE(isSafeFileName(name)) << name;
    }
    EXPECT_FALSE(isSafeFileName(std::string("nul\0x", 5)));
}

TEST(SafeFileName, TrailingSpacesOfDeviceNamesAreDropped) {
    EXPECT_EQ(trimmedDeviceName("AB      "), "AB");
    EXPECT_EQ(trimmedDeviceName(" A B    "), " A B");
    EXPECT_EQ(trimmedDeviceName("        "), "");
}

}  // namespace
}  // namespace dravolin
