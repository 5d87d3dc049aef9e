#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace dravolin {
namespace {

CommandLine parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "dravolin");
    return CommandLine::parse(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, PortOptionsMapComPortsAndMayBeRepeated) {
    const CommandLine line =
        parse({"--port", "1=/dev/ttyUSB0", "--port=3=/dev/pts/7", "--port", "1=/dev/ttyACM0"});
    ASSERT_EQ(line.action(), CommandLine::Action::Run) << line.error();
    EXPECT_EQ(line.portMap().devicePath(1), "/dev/ttyACM0");
    EXPECT_EQ(line.portMap().devicePath(2), "/dev/ttyS1");
    EXPECT_EQ(line.portMap().devicePath(3), "/dev/pts/7");
    EXPECT_EQ(parse({"-h"}).action(), CommandLine::Action::ShowHelp);
}

TEST(CommandLine, LanguageIsLeftToTheLocaleUnlessGiven) {
    EXPECT_FALSE(parse({}).language().has_value());
    EXPECT_EQ(parse({"--language", "de"}).language(), Language::German);
    EXPECT_EQ(parse({"--language", "en", "--port", "1=/dev/pts/3"}).language(), Language::English);
    for (const auto& wrong :
         {std::vector<const char*>{"--language", "fr"}, std::vector<const char*>{"--language"}}) {
        const CommandLine line = parse(wrong);
        EXPECT_EQ(line.action(), CommandLine::Action::UsageError);
        EXPECT_NE(line.error().find("--language takes de or en"), std::string::npos);
    }
}

}  // namespace
}  // namespace dravolin
