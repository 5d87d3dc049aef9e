#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace dravolin {
namespace {

CommandLine parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "dravolin");
    return CommandLine::parse(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, NoArgumentsRunWithTheDefaultPorts) {
    const CommandLine line = parse({});
    EXPECT_EQ(line.action(), CommandLine::Action::Run);
    EXPECT_TRUE(line.portMap().mappings().empty());
    EXPECT_EQ(line.portMap().devicePath(1), "/dev/ttyS0");
}

TEST(CommandLine, PortOptionsMapComPortsAndMayBeRepeated) {
    const CommandLine line =
        parse({"--port", "1=/dev/ttyUSB0", "--port=3=/dev/pts/7", "--port", "1=/dev/ttyACM0"});
    ASSERT_EQ(line.action(), CommandLine::Action::Run) << line.error();
    EXPECT_EQ(line.portMap().devicePath(1), "/dev/ttyACM0");
    EXPECT_EQ(line.portMap().devicePath(2), "/dev/ttyS1");
    EXPECT_EQ(line.portMap().devicePath(3), "/dev/pts/7");
}

TEST(CommandLine, HelpAsksForTheUsageText) {
    EXPECT_EQ(parse({"--help"}).action(), CommandLine::Action::ShowHelp);
    EXPECT_EQ(parse({"-h"}).action(), CommandLine::Action::ShowHelp);
    EXPECT_NE(CommandLine::helpText().find("--port N=PATH"), std::string::npos);
    EXPECT_EQ(CommandLine::helpText().rfind(CommandLine::usageLine(), 0), 0u);
}

TEST(CommandLine, BadArgumentsAreUsageErrorsWithAReason) {
    struct Case {
        std::vector<const char*> arguments;
        std::string reasonPart;
    };
    const std::vector<Case> cases = {
        {{"--verbose"}, "unknown option --verbose"},
        {{"-x"}, "unknown option -x"},
        {{"file.tiv"}, "unexpected argument file.tiv"},
        {{"--port"}, "--port needs a value"},
        {{"--port", "/dev/ttyUSB0"}, "--port /dev/ttyUSB0"},
        {{"--port=x=/dev/ttyUSB0"}, "--port x=/dev/ttyUSB0"},
        {{"--port", "1=/dev/ttyUSB0", "--bogus"}, "unknown option --bogus"},
    };
    for (const Case& c : cases) {
        const CommandLine line = parse(c.arguments);
        EXPECT_EQ(line.action(), CommandLine::Action::UsageError) << c.reasonPart;
        EXPECT_NE(line.error().find(c.reasonPart), std::string::npos) << line.error();
    }
}

}  // namespace
}  // namespace dravolin
