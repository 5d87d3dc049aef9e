#include "sim/simulator_arguments.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace dravolin {
namespace {

using Options = SimulatorOptions;

struct CommandLine {
    std::vector<std::string> arguments;
    // For a line that is taken: what must hold of the options.
    std::function<bool(const Options&)> holds;
    // For a line that is refused: text the message must hold to name the problem.
    std::string mentioned = {};
};

TEST(SimulatorArgumentsTest, FlagsReachTheOptionsAndBadOnesAreNamed) {
    const std::vector<CommandLine> table = {
        {{"--files=d", "--capacity=3", "--link", "/tmp/v", "--corrupt-check", "file", "--truncate",
          "directory=7", "--count-field", "-001", "--length-field=abcd", "--serve", "/dev/pts/7"},
         [](const Options& o) {
             return o.capacity == 3 && o.link == "/tmp/v" && o.corruptCheck == DataReply::File &&
                    o.serve == "/dev/pts/7" && o.truncate.at(DataReply::Directory) == 7 &&
                    o.countField == "-001" && o.lengthField == "abcd";
         }},
        {{"--files", "d", "--answer", "announce=S", "--answer=fetch=A", "--silent", "data-status",
          "--pace", "57600,E,2", "--hangup-after", "12", "--trace", "--line=19200,O,2", "--seed",
          "7", "--noise=0"},
         [](const Options& o) {
             return o.answers.size() == 2 && o.answers.at(DeviceCommand::Announce) == 'S' &&
                    o.answers.at(DeviceCommand::Fetch) == 'A' &&
                    o.silentPhases == std::set<DevicePhase>{DevicePhase::DataStatus} && o.pace &&
                    o.pace->baud == 57600 && o.pace->parity == 'E' && o.pace->stopBits == 2 &&
                    o.hangupAfter == 12u && o.trace && o.line && o.line->baud == 19200 &&
                    o.line->parity == 'O' && o.line->stopBits == 2 && o.seed == 7u &&
                    o.noisePercent == 0;
         }},
        {{}, nullptr, "--files"},
        {{"--files", "d", "--bogus"}, nullptr, "--bogus"},
        {{"--files", "d", "--serve="}, nullptr, "terminal"},
        {{"--files", "d", "--answer", "fetch=0"}, nullptr, "'0'"},
        {{"--files", "d", "--corrupt-check", "status"}, nullptr, "status"},
        {{"--files", "d", "--silent", "fetch"}, nullptr, "fetch"},
        {{"--files", "d", "--truncate", "file=x"}, nullptr, "file=x"},
        {{"--files", "d", "--count-field", "123"}, nullptr, "4 characters"},
        {{"--files", "d", "--pace", "9600,M,1"}, nullptr, "9600,M,1"},
        {{"--files", "d", "--hangup-after", "soon"}, nullptr, "soon"},
        {{"--files", "d", "--line", "19200,O,3"}, nullptr, "19200,O,3"},
        {{"--files", "d", "--seed", "-1"}, nullptr, "-1"},
        {{"--files", "d", "--noise", "101"}, nullptr, "101"},
    };
    for (const CommandLine& line : table) {
        SCOPED_TRACE(::testing::PrintToString(line.arguments));
        const auto parsed = parseSimulatorArguments(line.arguments);
        if (line.holds) {
            ASSERT_TRUE(parsed.ok) << parsed.error;
            EXPECT_TRUE(line.holds(parsed.options));
        } else {
            EXPECT_FALSE(parsed.ok);
            EXPECT_NE(parsed.error.find(line.mentioned), std::string::npos) << parsed.error;
        }
    }
}

}  // namespace
}  // namespace dravolin
