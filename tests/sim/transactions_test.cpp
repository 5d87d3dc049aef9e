// The device's side of the directory, fetch and send transactions over a real pty, checked
// against the frames the PC builds; and how it treats the line itself.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "simulator_test_base.h"

namespace dravolin::test {
namespace {

std::string textOf(const Bytes& bytes, std::size_t start, std::size_t length) {
    return std::string(bytes.begin() + static_cast<long>(start),
                       bytes.begin() + static_cast<long>(start + length));
}

class TransactionsTest : public SimulatorTestBase {};

// The folder is read afresh for every request, so one run sees it empty and then filled.
TEST_F(TransactionsTest, DirectoryListsTheFolderSortedCountedAndChecked) {
    startProgrammer();
    const PcSide pc(programmer_->devicePath());
    const Bytes empty = listDirectory(pc, 0);
    ASSERT_EQ(empty.size(), 17u);
    EXPECT_EQ(textOf(empty, 12, 4), "0000");
    EXPECT_TRUE(checkByteMatches(empty, 16));
    folder_.write("TAG2.tiv", tagDataFile("two"));
    folder_.write("A1.tiv", tagDataFile("one"));
    folder_.write("TAG10.tiv", tagDataFile(""));
    folder_.write("notes.txt", "not a tag-data file");

    const Bytes reply = listDirectory(pc, 3);

    ASSERT_EQ(reply.size(), directoryReplyLength(3));
    EXPECT_EQ(textOf(reply, 12, 4), "0003");
    const char* const names[] = {"A1      ", "TAG10   ", "TAG2    "};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(textOf(reply, kDirectoryHeaderLength + i * kDirectoryEntryLength, kNameLength),
                  names[i]);
    }
    EXPECT_TRUE(checkByteMatches(reply, reply.size() - 1));
    EXPECT_TRUE(pc.receiveFor(100ms).empty()) << "bytes beyond the directory reply";
}

TEST_F(TransactionsTest, FetchSendsTheStoredFileAndItsCheckByteButRefusesAnUnknownName) {
    const std::string file = tagDataFile("tag data \x01\x02\xff", "XY12");
    // Bytes beyond the announced length are not part of the stored file.
    folder_.write("TAG00001.tiv", file + "TRAILING");
    startProgrammer();
    const PcSide pc(programmer_->devicePath());

    EXPECT_EQ(statusLetter(pc.exchange(fetchRequestFor("TAG00002"), 2)), 'R');
    // A go-ahead after the refusal gets nothing, and the device takes the next command.
    pc.send(goAhead());
    EXPECT_TRUE(pc.receiveFor(200ms).empty());
    EXPECT_EQ(pc.exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
    const Bytes reply = pc.exchange(goAhead(), fileReplyLength(12));

    ASSERT_EQ(reply.size(), file.size() + 1);
    EXPECT_EQ(Bytes(reply.begin(), reply.end() - 1), bytesOf(file));
    EXPECT_EQ(reply.back(), xorOf(bytesOf(file)));
    EXPECT_TRUE(pc.receiveFor(100ms).empty());
}

TEST_F(TransactionsTest, WrongCheckBytesGetXAndAPathAsNameGetsWAndNothingIsStored) {
    folder_.write("TAG00001.tiv", tagDataFile("abc"));
    startProgrammer();
    const PcSide pc(programmer_->devicePath());
    const Bytes header = bytesOf("HD010004");

    for (const Bytes& command :
         {directoryRequest(), fetchRequestFor("TAG00001"), transferAnnouncement("NEW", header)}) {
        SCOPED_TRACE(command[0]);
        EXPECT_EQ(statusLetter(pc.exchange(withWrongCheckByte(command), 2)), 'X');
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

// A lower bound only: a loaded machine may take longer, never shorter. Even parity and two
// stop bits make 12 bits a byte.
TEST_F(TransactionsTest, AReplyTakesAtLeastItsLineTime) {
    folder_.write("TAG00001.tiv", tagDataFile(std::string(200, 'p')));
    options_.pace = LinePace{9600, 'E', 2};
    startProgrammer();
    const PcSide pc(programmer_->devicePath());
    EXPECT_EQ(pc.exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));

    const auto sent = std::chrono::steady_clock::now();
    const Bytes reply = pc.exchange(goAhead(), fileReplyLength(200));
    const auto took = std::chrono::steady_clock::now() - sent;

    ASSERT_EQ(reply.size(), fileReplyLength(200));
    EXPECT_GE(took, std::chrono::duration<double>(reply.size() * 12 / 9600.0));
}

}  // namespace
}  // namespace dravolin::test
