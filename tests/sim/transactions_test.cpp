// The simulated programmer over a pty: its own refusals, which the e2e suites (setting the
// answers) never see, and the program as a script runs it.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "sim/simulated_programmer.h"
#include "support/pty_pair.h"
#include "support/test_folder.h"

namespace dravolin::test {
namespace {

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

    EXPECT_EQ(exchange(pc, transferAnnouncement("TWO", header), 2), bytesOf("00"));
    EXPECT_EQ(statusLetter(exchange(pc, withWrongCheckByte(dataFrame(bytesOf("abcd"))), 2)), 'X');
    EXPECT_EQ(statusLetter(exchange(pc, transferAnnouncement("../x", header), 2)), 'W');
    EXPECT_EQ(folder.listing(), "TAG00001.tiv TWO.tiv");
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "x.tiv"));

    EXPECT_EQ(exchange(pc, transferAnnouncement("TWO", header), 2), bytesOf("00"));
    EXPECT_EQ(exchange(pc, dataFrame(bytesOf("abcd")), 2), bytesOf("00"));
    EXPECT_EQ(folder.read("TWO.tiv"), "HD010004abcd");
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
                                   pc.devicePath() + " --hangup-after 4")
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
