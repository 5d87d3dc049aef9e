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

}  // namespace
}  // namespace dravolin
