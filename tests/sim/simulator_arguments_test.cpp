#include "sim/simulator_arguments.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace dravolin {
namespace {

using Arguments = std::vector<std::string>;

TEST(SimulatorArgumentsTest, FlagsReachTheOptionsAndBadOnesAreNamed) {
    auto parsed = parseSimulatorArguments(Arguments{
        "--files=d", "--capacity=3", "--link", "/tmp/v", "--corrupt-check", "file", "--truncate",
        "directory=7", "--count-field", "-001", "--length-field=abcd", "--serve", "/dev/pts/7"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const SimulatorOptions& o = parsed.options;
    EXPECT_TRUE(o.capacity == 3 && o.link == "/tmp/v" && o.corruptCheck == DataReply::File &&
                o.serve == "/dev/pts/7" && o.truncate.at(DataReply::Directory) == 7 &&
                o.countField == "-001" && o.lengthField == "abcd");
    parsed = parseSimulatorArguments(
        Arguments{"--files", "d", "--answer", "announce=S", "--answer=fetch=A", "--silent",
                  "data-status", "--pace", "57600,E,2", "--hangup-after", "12", "--trace",
                  "--line=19200,O,2", "--seed", "7", "--noise=0"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_TRUE(o.answers.size() == 2 && o.answers.at(DeviceCommand::Announce) == 'S' &&
                o.answers.at(DeviceCommand::Fetch) == 'A' &&
                o.silentPhases == std::set<DevicePhase>{DevicePhase::DataStatus} && o.pace &&
                o.pace->baud == 57600 && o.pace->parity == 'E' && o.pace->stopBits == 2 &&
                o.hangupAfter == 12u && o.trace && o.line && o.line->baud == 19200 &&
                o.line->parity == 'O' && o.line->stopBits == 2 && o.seed == 7u &&
                o.noisePercent == 0);

    // A line that is refused: the message names the problem.
    const std::pair<Arguments, std::string> refused[] = {
        {{}, "--files"},
        {{"--files", "d", "--bogus"}, "--bogus"},
        {{"--files", "d", "--serve="}, "terminal"},
        {{"--files", "d", "--answer", "fetch=0"}, "'0'"},
        {{"--files", "d", "--corrupt-check", "status"}, "status"},
        {{"--files", "d", "--silent", "fetch"}, "fetch"},
        {{"--files", "d", "--truncate", "file=x"}, "file=x"},
        {{"--files", "d", "--count-field", "123"}, "4 characters"},
        {{"--files", "d", "--pace", "9600,M,1"}, "9600,M,1"},
        {{"--files", "d", "--hangup-after", "soon"}, "soon"},
        {{"--files", "d", "--line", "19200,O,3"}, "19200,O,3"},
        {{"--files", "d", "--seed", "-1"}, "-1"},
        {{"--files", "d", "--noise", "101"}, "101"},
    };
    for (const auto& [arguments, mentioned] : refused) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto result = parseSimulatorArguments(arguments);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(mentioned), std::string::npos) << result.error;
    }
}

}  // namespace
}  // namespace dravolin
