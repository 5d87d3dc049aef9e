// The simulated programmer: its options, its own refusals over a pty, which the e2e suites
// (setting the answers) never see, and the program as a script runs it.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/simulated_programmer.h"
#include "sim/simulator_arguments.h"
#include "support/pty_pair.h"
#include "support/simulator_seed.h"
#include "support/test_folder.h"

namespace dravolin::test {
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
    for (const auto& [reply, name] :
         {std::pair{DataReply::File, "file"}, std::pair{DataReply::Directory, "directory"}}) {
        parsed = parseSimulatorArguments(
            Arguments{"--files", "d", "--hangup-after", std::string(name) + "=30"});
        ASSERT_TRUE(parsed.ok) << parsed.error;
        EXPECT_EQ(o.hangupAfter, (HangupPoint{reply, 30}));
    }
    parsed = parseSimulatorArguments(Arguments{
        "--files",   "d",           "--answer",         "announce=S", "--answer=fetch=A",
        "--silent",  "data-status", "--pace",           "57600,E,2",  "--hangup-after",
        "12",        "--trace",     "--line=19200,O,2", "--seed",     "7",
        "--noise=0", "--answer",    "directory=0x07",   "--plain",    "--status-byte=0xFF"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_TRUE(o.answers.size() == 3 && o.answers.at(DeviceCommand::Announce) == 'S' &&
                o.answers.at(DeviceCommand::Fetch) == 'A' &&
                o.answers.at(DeviceCommand::Directory) == '\x07' && o.plain &&
                o.statusByte == 0xFF &&
                o.silentPhases == std::set<DevicePhase>{DevicePhase::DataStatus} && o.pace &&
                o.pace->baud == 57600 && o.pace->parity == 'E' && o.pace->stopBits == 2 &&
                o.hangupAfter == (HangupPoint{std::nullopt, 12}) && o.trace && o.line &&
                o.line->baud == 19200 && o.line->parity == 'O' && o.line->stopBits == 2 &&
                o.seed == 7u && o.noisePercent == 0);

    // A line that is refused: the message names the problem.
    const std::pair<Arguments, std::string> refused[] = {
        {{}, "--files"},
        {{"--files", "d", "--bogus"}, "--bogus"},
        {{"--files", "d", "--serve="}, "terminal"},
        {{"--files", "d", "--answer", "fetch=0"}, "'0'"},
        {{"--files", "d", "--answer", "fetch=0x30"}, "'0'"},
        {{"--files", "d", "--status-byte", "6"}, "0xHH"},
        {{"--files", "d", "--plain=yes"}, "no value"},
        {{"--files", "d", "--corrupt-check", "status"}, "status"},
        {{"--files", "d", "--silent", "fetch"}, "fetch"},
        {{"--files", "d", "--truncate", "file=x"}, "file=x"},
        {{"--files", "d", "--count-field", "123"}, "4 characters"},
        {{"--files", "d", "--pace", "9600,M,1"}, "9600,M,1"},
        {{"--files", "d", "--hangup-after", "soon"}, "soon"},
        {{"--files", "d", "--hangup-after", "status=3"}, "status=3"},
        {{"--files", "d", "--hangup-after", "file="}, "file="},
        {{"--files", "d", "--files", "e"}, "more than once"},
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

// The PC's side: the master of the pseudo-terminal whose slave the programmer serves.
void send(PtyPair& pc, const Bytes& frame) {
    EXPECT_TRUE(pc.send(std::string(frame.begin(), frame.end())));
}

Bytes exchange(PtyPair& pc, const Bytes& frame, std::size_t count) {
    send(pc, frame);
    return bytesOf(pc.receive(count, 5000));
}

Bytes withWrongCheckByte(Bytes frame) {
    frame.back() ^= 0x5A;
    return frame;
}

// Refused commands get their letter and go no further; a full memory refuses new names only.
TEST(Transactions, RefusalsGetTheirLetterAndGoNoFurtherAndAFullMemoryOnlyReplaces) {
    TestFolder folder;
    folder.write("TAG00001.tiv", tagDataFile("tag data"));
    folder.write("TWO.tiv", tagDataFile("2"));
    PtyPair pc;
    ASSERT_TRUE(pc.valid());
    SimulatorOptions options;
    options.files = folder.path();
    options.log = [](const std::string&) {};
    options.capacity = 2;
    options.seed = simulatorSeed();
    options.serve = pc.devicePath();
    SimulatedProgrammer programmer(options);
    std::string error;
    ASSERT_TRUE(programmer.start(error)) << error;
    const Bytes header = bytesOf("HD010004");

    const std::pair<Bytes, char> refused[] = {
        {fetchRequest(bytesOf("TAG00002")), 'R'},
        {withWrongCheckByte(directoryRequest()), 'X'},
        {withWrongCheckByte(fetchRequest(bytesOf("TAG00001"))), 'X'},
        {withWrongCheckByte(transferAnnouncement("NEW", header)), 'X'}};
    for (const auto& [command, letter] : refused) {
        SCOPED_TRACE(command[0]);
        EXPECT_EQ(statusLetter(exchange(pc, command, 2)), letter);
        send(pc, goAhead());
        EXPECT_TRUE(pc.receive(SIZE_MAX, 200).empty()) << "a refused command went on";
    }
    EXPECT_EQ(statusLetter(exchange(pc, transferAnnouncement("THREE", header), 2)), 'S');
    // The data frame of a refused announcement is not taken either.
    send(pc, dataFrame(bytesOf("3")));
    EXPECT_TRUE(pc.receive(SIZE_MAX, 200).empty());

    EXPECT_EQ(statusLetter(exchange(pc, transferAnnouncement("TWO", header), 2)), '0');
    EXPECT_EQ(statusLetter(exchange(pc, withWrongCheckByte(dataFrame(bytesOf("abcd"))), 2)), 'X');
    EXPECT_EQ(statusLetter(exchange(pc, transferAnnouncement("../x", header), 2)), 'W');
    EXPECT_EQ(folder.listing(), "TAG00001.tiv TWO.tiv");
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "x.tiv"));

    EXPECT_EQ(statusLetter(exchange(pc, transferAnnouncement("TWO", header), 2)), '0');
    EXPECT_EQ(statusLetter(exchange(pc, dataFrame(bytesOf("abcd")), 2)), '0');
    EXPECT_EQ(folder.read("TWO.tiv"), "HD010004abcd");
}

// The bytes the PC does not examine vary from reply to reply, the same seed repeats them and
// --plain fixes them; the bytes it does examine never change.
TEST(Transactions, TheBytesThePcDoesNotExamineVaryRepeatWithTheSeedAndArePlainWhenAsked) {
    TestFolder folder;
    folder.write("TAG00001.tiv", tagDataFile("tag data"));
    folder.write("TWO.tiv", tagDataFile("2"));
    // Three directory exchanges, all their bytes in a row.
    auto listings = [&folder](unsigned seed, bool plain) {
        PtyPair pc;
        SimulatorOptions options;
        options.files = folder.path();
        options.log = [](const std::string&) {};
        options.serve = pc.devicePath();
        options.seed = seed;
        options.plain = plain;
        SimulatedProgrammer programmer(options);
        std::string error;
        EXPECT_TRUE(programmer.start(error)) << error;
        Bytes all;
        for (int round = 0; round < 3; ++round) {
            for (const Bytes& part : {exchange(pc, directoryRequest(), 2),
                                      exchange(pc, goAhead(), directoryReplyLength(2))}) {
                all.insert(all.end(), part.begin(), part.end());
            }
        }
        return all;
    };
    const unsigned seed = simulatorSeed();
    const Bytes first = listings(seed, false);
    ASSERT_EQ(first.size(), 3 * (2 + directoryReplyLength(2)));
    EXPECT_EQ(listings(seed, false), first);
    EXPECT_NE(listings(seed + 1, false), first);
    const std::size_t round = first.size() / 3;
    const Bytes plain = listings(seed, true);
    Bytes plainRound = bytesOf("00DIRECTORY   0002TAG000010008    TWO     0001    ");
    plainRound.push_back(xorOf(std::span(plainRound).subspan(2)));
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + static_cast<long>(round)), plainRound);
    // Each reply draws afresh; what the PC reads (the letters, names and count) every exchange
    // test reads.
    std::set<std::uint8_t> statusBytes;
    std::set<Bytes> headers;
    for (std::size_t at = 0; at < first.size(); at += round) {
        statusBytes.insert(first[at]);
        headers.insert(Bytes(first.begin() + static_cast<long>(at) + 2,
                             first.begin() + static_cast<long>(at) + 14));
    }
    EXPECT_EQ(headers.size(), 3u);
    EXPECT_GT(statusBytes.size(), 1u);
}

// `timeout` ends a program that does not end by itself, so a failing test cannot hang.
std::string command(const std::string& arguments) {
    return std::string("timeout 20 ") + VOSKA_SIM_PROGRAM + " " + arguments;
}

TEST(VoskaSimProgramTest, PrintsTheDevicePathServesItAndRefusesABadOptionAsAUsageError) {
    TestFolder folder;
    PtyPair pc;  // the PC's end; the program serves the other
    ASSERT_TRUE(pc.valid());
    FILE* output = ::popen(command("--files " + folder.path().string() + " --serve " +
                                   pc.devicePath() + " --hangup-after 4 --plain")
                               .c_str(),
                           "r");
    ASSERT_NE(output, nullptr);
    char line[256] = {};
    EXPECT_NE(std::fgets(line, sizeof line, output), nullptr);
    EXPECT_EQ(std::string(line, std::strcspn(line, "\n")), pc.devicePath());
    EXPECT_EQ(exchange(pc, directoryRequest(), 2), bytesOf("00"));
    send(pc, goAhead());

    // After the hang-up it was asked for, the program ends by itself, successfully.
    const int status = ::pclose(output);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // A bad option is a usage error, told apart from a failure to serve.
    const int usage = std::system(command("--files /tmp --pace fast 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(usage));
    EXPECT_EQ(WEXITSTATUS(usage), 2);
}

}  // namespace
}  // namespace dravolin::test
