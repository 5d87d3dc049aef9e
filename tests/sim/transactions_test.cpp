// The device's own refusals over a real pty (damaged frames, names it lacks or cannot take,
// a full memory): what the e2e suites, which set the answers, never see. Its fetch is theirs.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "pc_side.h"
#include "sim/simulated_programmer.h"

namespace dravolin::test {
namespace {

// Refused commands get their letter and go no further; the device then takes the next one.
// Its memory is full: a new name is refused with S, a held one replaced.
TEST(Transactions, RefusalsGetTheirLetterAndGoNoFurtherAndAFullMemoryOnlyReplaces) {
    TestFolder folder;
    folder.write("TAG00001.tiv", tagDataFile("tag data"));
    folder.write("TWO.tiv", tagDataFile("2"));
    SimulatorOptions options;
    options.files = folder.path();
    options.log = [](const std::string&) {};
    options.capacity = 2;
    SimulatedProgrammer programmer(options);
    std::string error;
    ASSERT_TRUE(programmer.start(error)) << error;
    const PcSide pc(programmer.devicePath());
    const Bytes header = bytesOf("HD010004");

    const std::pair<Bytes, char> refused[] = {
        {fetchRequestFor("TAG00002"), 'R'},
        {withWrongCheckByte(directoryRequest()), 'X'},
        {withWrongCheckByte(fetchRequestFor("TAG00001")), 'X'},
        {withWrongCheckByte(transferAnnouncement("NEW", header)), 'X'}};
    for (const auto& [command, letter] : refused) {
        SCOPED_TRACE(command[0]);
        EXPECT_EQ(statusLetter(pc.exchange(command, 2)), letter);
        pc.send(goAhead());
        EXPECT_TRUE(pc.receiveFor(200ms).empty()) << "a refused command went on";
    }
    EXPECT_EQ(statusLetter(pc.exchange(transferAnnouncement("THREE", header), 2)), 'S');
    // The data frame of a refused announcement is not taken either.
    pc.send(dataFrame(bytesOf("3")));
    EXPECT_TRUE(pc.receiveFor(200ms).empty());

    EXPECT_EQ(pc.exchange(transferAnnouncement("TWO", header), 2), bytesOf("00"));
    EXPECT_EQ(statusLetter(pc.exchange(withWrongCheckByte(dataFrame(bytesOf("abcd"))), 2)), 'X');
    EXPECT_EQ(statusLetter(pc.exchange(transferAnnouncement("../x", header), 2)), 'W');
    EXPECT_EQ(folder.listing(), "TAG00001.tiv TWO.tiv");
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "x.tiv"));

    EXPECT_EQ(pc.exchange(transferAnnouncement("TWO", header), 2), bytesOf("00"));
    EXPECT_EQ(pc.exchange(dataFrame(bytesOf("abcd")), 2), bytesOf("00"));
    EXPECT_EQ(folder.read("TWO.tiv"), "HD010004abcd");
}

}  // namespace
}  // namespace dravolin::test
