#include "sim/simulator_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravolin {
namespace {

TEST(SimulatorArgumentsTest, EveryFlagReachesTheOptions) {
    const auto parsed = parseSimulatorArguments({"--files",
                                                 "/tmp/tags",
                                                 "--capacity=3",
                                                 "--link",
                                                 "/tmp/voska",
                                                 "--answer",
                                                 "announce=S",
                                                 "--answer=fetch=A",
                                                 "--corrupt-check",
                                                 "file",
                                                 "--silent",
                                                 "data-status",
                                                 "--silent",
                                                 "directory-reply",
                                                 "--truncate",
                                                 "directory=7",
                                                 "--count-field",
                                                 "-001",
                                                 "--length-field=abcd",
                                                 "--pace",
                                                 "57600,E,2",
                                                 "--hangup-after",
                                                 "12",
                                                 "--trace"});

    ASSERT_TRUE(parsed.ok) << parsed.error;
    const SimulatorOptions& options = parsed.options;
    EXPECT_EQ(options.files, "/tmp/tags");
    EXPECT_EQ(options.capacity, 3u);
    EXPECT_EQ(options.link, "/tmp/voska");
    EXPECT_EQ(options.answers, (std::map<DeviceCommand, char>{{DeviceCommand::Announce, 'S'},
                                                              {DeviceCommand::Fetch, 'A'}}));
    EXPECT_EQ(options.corruptCheck, DataReply::File);
    EXPECT_EQ(options.silentPhases,
              (std::set<DevicePhase>{DevicePhase::DataStatus, DevicePhase::DirectoryReply}));
    EXPECT_EQ(options.truncate, (std::map<DataReply, std::size_t>{{DataReply::Directory, 7}}));
    EXPECT_EQ(options.countField, "-001");
    EXPECT_EQ(options.lengthField, "abcd");
    ASSERT_TRUE(options.pace.has_value());
    EXPECT_EQ(options.pace->baud, 57600);
    EXPECT_EQ(options.pace->parity, 'E');
    EXPECT_EQ(options.pace->stopBits, 2);
    EXPECT_EQ(options.hangupAfter, 12u);
    EXPECT_TRUE(options.trace);
}

TEST(SimulatorArgumentsTest, DefaultsWithOnlyTheFolder) {
    const auto parsed = parseSimulatorArguments({"--files", "tags"});

    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.capacity, 15u);
    EXPECT_FALSE(parsed.options.pace.has_value());
    EXPECT_FALSE(parsed.options.hangupAfter.has_value());
    EXPECT_TRUE(parsed.options.answers.empty());
    EXPECT_FALSE(parsed.options.trace);
}

TEST(SimulatorArgumentsTest, HelpNeedsNoFolder) {
    const auto parsed = parseSimulatorArguments({"--help"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.helpAsked);
}

TEST(SimulatorArgumentsTest, HelpNamesEveryFlag) {
    const std::string help = simulatorHelp();
    for (const char* flag : {"--files", "--capacity", "--link", "--answer", "--corrupt-check",
                             "--silent", "--truncate", "--count-field", "--length-field", "--pace",
                             "--hangup-after", "--trace", "--help"}) {
        EXPECT_NE(help.find(flag), std::string::npos) << flag;
    }
}

struct BadCommandLine {
    std::string name;
    std::vector<std::string> arguments;
    std::string mentioned;  // the message names what is wrong
};

class BadArgumentsTest : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(BadArgumentsTest, AreRefusedWithAMessageNamingTheProblem) {
    const auto parsed = parseSimulatorArguments(GetParam().arguments);

    EXPECT_FALSE(parsed.ok);
    EXPECT_NE(parsed.error.find(GetParam().mentioned), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Each, BadArgumentsTest,
    ::testing::Values(
        BadCommandLine{"NoArguments", {}, "--files"},
        BadCommandLine{"NoFolder", {"--capacity", "3"}, "--files"},
        BadCommandLine{"FolderWithoutValue", {"--files"}, "needs a value"},
        BadCommandLine{"UnknownFlag", {"--files", "d", "--bogus"}, "--bogus"},
        BadCommandLine{"StrayArgument", {"--files", "d", "extra"}, "extra"},
        BadCommandLine{"CapacityNotANumber", {"--files", "d", "--capacity", "many"}, "many"},
        BadCommandLine{"NegativeCapacity", {"--files", "d", "--capacity", "-1"}, "-1"},
        BadCommandLine{"UnknownAnswerCommand", {"--files", "d", "--answer", "send=S"}, "send=S"},
        BadCommandLine{"AnswerWithoutLetter", {"--files", "d", "--answer", "fetch"}, "fetch"},
        BadCommandLine{"AnswerZero", {"--files", "d", "--answer", "fetch=0"}, "'0'"},
        BadCommandLine{"AnswerOfTwoLetters", {"--files", "d", "--answer", "fetch=AB"}, "AB"},
        BadCommandLine{
            "UnknownCorruptReply", {"--files", "d", "--corrupt-check", "status"}, "status"},
        BadCommandLine{"UnknownSilentPhase", {"--files", "d", "--silent", "fetch"}, "fetch"},
        BadCommandLine{"TruncateWithoutCount", {"--files", "d", "--truncate", "file"}, "file"},
        BadCommandLine{
            "TruncateCountNotANumber", {"--files", "d", "--truncate", "file=x"}, "file=x"},
        BadCommandLine{"ShortCountField", {"--files", "d", "--count-field", "123"}, "4 characters"},
        BadCommandLine{
            "LongLengthField", {"--files", "d", "--length-field", "12345"}, "4 characters"},
        BadCommandLine{"PaceWithoutParity", {"--files", "d", "--pace", "9600"}, "9600"},
        BadCommandLine{"PaceWithUnknownParity", {"--files", "d", "--pace", "9600,M,1"}, "9600,M,1"},
        BadCommandLine{"PaceWithThreeStopBits", {"--files", "d", "--pace", "9600,N,3"}, "9600,N,3"},
        BadCommandLine{"PaceOfZeroBaud", {"--files", "d", "--pace", "0,N,1"}, "0,N,1"},
        BadCommandLine{"HangupNotANumber", {"--files", "d", "--hangup-after", "soon"}, "soon"},
        BadCommandLine{"TraceWithValue", {"--files", "d", "--trace=yes"}, "--trace"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace dravolin
