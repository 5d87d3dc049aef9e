// The device's own refusals over a real pty (damaged frames, names it lacks or cannot take,
// a full memory): what the e2e suites, which set the answers, never see. Its fetch is theirs.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "simulator_test_base.h"

namespace dravolin::test {
namespace {

class TransactionsTest : public SimulatorTestBase {};

// Refused commands get their letter and go no further; the device then takes the next one.
TEST_F(TransactionsTest, RefusalsGetTheirLetterAndGoNoFurther) {
    folder_.write("TAG00001.tiv", tagDataFile("tag data"));
    startProgrammer();
    const PcSide pc(programmer_->devicePath());
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
    EXPECT_EQ(pc.exchange(transferAnnouncement("NEW", header), 2), bytesOf("00"));
    EXPECT_EQ(statusLetter(pc.exchange(withWrongCheckByte(dataFrame(bytesOf("abcd"))), 2)), 'X');
    EXPECT_EQ(statusLetter(pc.exchange(transferAnnouncement("../x", header), 2)), 'W');
    EXPECT_EQ(folder_.listing(), "TAG00001.tiv");
    EXPECT_FALSE(std::filesystem::exists(folder_.path().parent_path() / "x.tiv"));
}

TEST_F(TransactionsTest, FullMemoryRefusesANewNameWithSButReplacesAHeldOne) {
    options_.capacity = 2;
    folder_.write("ONE.tiv", tagDataFile("1"));
    folder_.write("TWO.tiv", tagDataFile("2"));
    startProgrammer();
    const PcSide pc(programmer_->devicePath());

    EXPECT_EQ(sendFile(pc, "THREE", tagDataFile("3")), "S");
    // The data frame of a refused announcement is not taken either.
    pc.send(dataFrame(bytesOf("3")));
    EXPECT_TRUE(pc.receiveFor(200ms).empty());
    EXPECT_EQ(folder_.listing(), "ONE.tiv TWO.tiv");

    EXPECT_EQ(sendFile(pc, "TWO", tagDataFile("two")), "00");
    EXPECT_EQ(folder_.read("TWO.tiv"), tagDataFile("two"));
}

}  // namespace
}  // namespace dravolin::test
