#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace dravolin {
namespace {

// Ports map once per Com; trace and language are left alone unless given, the trace going to
// standard error or to the file after '='; usage errors say what is wrong.
TEST(CommandLine, PortsTraceAndLanguageAndUsageErrorsThatSayWhatIsWrong) {
    const CommandLine line =
        CommandLine::parse({"--port", "1=/dev/ttyUSB0", "--port=3=/dev/pts/7", "--"});
    ASSERT_EQ(line.action(), CommandLine::Action::Run) << line.error();
    EXPECT_EQ(line.portMap().devicePath(1), "/dev/ttyUSB0");
    EXPECT_EQ(line.portMap().devicePath(3), "/dev/pts/7");
    EXPECT_EQ(CommandLine::parse({"-h"}).action(), CommandLine::Action::ShowHelp);
    EXPECT_EQ(CommandLine::parse({"--port", "9=x", "--version"}).action(),
              CommandLine::Action::ShowVersion);
    EXPECT_FALSE(CommandLine::parse({}).trace().has_value());
    EXPECT_EQ(CommandLine::parse({"--trace"}).trace(), std::optional<std::string>(""));
    EXPECT_EQ(CommandLine::parse({"--trace=/tmp/t.log"}).trace(),
              std::optional<std::string>("/tmp/t.log"));
    EXPECT_FALSE(CommandLine::parse({}).language().has_value());
    EXPECT_EQ(CommandLine::parse({"--language", "de"}).language(), Language::German);

    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--port", "7=/dev/pts/7"}, "the port number must be 1 to 4"},
        {{"--port", "0=/dev/pts/7"}, "from 1 up"},
        {{"--port", "1=/a", "--port", "1=/b"}, "maps Com 1 more than once"},
        {{"--port"}, "--port needs a value"},
        {{"--port", "1"}, "expected n=PATH"},
        {{"--verbose"}, "unknown option --verbose"},
        {{"--help=yes"}, "--help takes no value"},
        {{"file.tiv"}, "unexpected argument file.tiv"},
        {{"--trace="}, "--trace= needs a value"},
        {{"--trace", "trace.txt"}, "unexpected argument trace.txt"},
        {{"--language", "fr"}, "--language"},
    };
    for (const auto& [arguments, message] : cases) {
        const CommandLine line = CommandLine::parse(arguments);
        EXPECT_EQ(line.action(), CommandLine::Action::UsageError) << message;
        EXPECT_NE(line.error().find(message), std::string::npos) << line.error();
    }
}

}  // namespace
}  // namespace dravolin
