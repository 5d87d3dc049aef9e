// The device's side of the directory, fetch and send transactions over a real pty.

#include <gtest/gtest.h>

#include <string>

#include "simulator_test_base.h"

namespace dravolin::test {
namespace {

std::string textOf(const Bytes& bytes, std::size_t start, std::size_t length) {
    return std::string(bytes.begin() + static_cast<long>(start),
                       bytes.begin() + static_cast<long>(start + length));
}

// The 8-byte name of directory entry `index`.
std::string entryName(const Bytes& reply, std::size_t index) {
    return textOf(reply, kDirectoryHeaderLength + index * kDirectoryEntryLength, kNameLength);
}

class TransactionsTest : public SimulatorTestBase {};

TEST_F(TransactionsTest, DirectoryListsTheFolderSortedPaddedAndChecked) {
    folder_.write("TAG2.tiv", tagDataFile("two"));
    folder_.write("A1.tiv", tagDataFile("one"));
    folder_.write("TAG10.tiv", tagDataFile(""));
    folder_.write("notes.txt", "not a tag-data file");
    folder_.write("TOOLONGNAME.tiv", tagDataFile("x"));
    folder_.write("BROKEN.tiv", "HD0");
    folder_.write("SHORT.tiv", "HD010009abc");
    folder_.write(std::string("BAD\x01") + ".tiv", tagDataFile("x"));
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = listDirectory(*pc, 3);

    ASSERT_EQ(reply.size(), directoryReplyLength(3));
    EXPECT_EQ(textOf(reply, 12, 4), "0003");
    EXPECT_EQ(directoryCount(reply), 3);
    EXPECT_EQ(entryName(reply, 0), "A1      ");
    EXPECT_EQ(entryName(reply, 1), "TAG10   ");
    EXPECT_EQ(entryName(reply, 2), "TAG2    ");
    EXPECT_TRUE(checkByteMatches(reply, reply.size() - 1));
    EXPECT_TRUE(pc->receiveFor(100ms).empty()) << "bytes beyond the directory reply";
    // The files it cannot hold are named on the notes, once each.
    EXPECT_EQ(log_.count("skipping TOOLONGNAME.tiv"), 1u);
    EXPECT_EQ(log_.count("skipping BROKEN.tiv"), 1u);
    EXPECT_EQ(log_.count("skipping SHORT.tiv"), 1u);
    EXPECT_EQ(log_.count("skipping BAD"), 1u);
}

TEST_F(TransactionsTest, EmptyFolderGivesCountZeroInSeventeenBytes) {
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = listDirectory(*pc, 0);

    ASSERT_EQ(reply.size(), 17u);
    EXPECT_EQ(textOf(reply, 12, 4), "0000");
    EXPECT_TRUE(checkByteMatches(reply, 16));
    EXPECT_TRUE(pc->receiveFor(100ms).empty());
}

TEST_F(TransactionsTest, DirectoryListsAtMostFifteenFiles) {
    for (int i = 20; i >= 1; --i) {
        folder_.write("F" + std::to_string(100 + i) + ".tiv", tagDataFile("d"));
    }
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = listDirectory(*pc, 15);

    ASSERT_EQ(reply.size(), directoryReplyLength(15));
    EXPECT_EQ(textOf(reply, 12, 4), "0015");
    EXPECT_EQ(entryName(reply, 0), "F101    ");
    EXPECT_EQ(entryName(reply, 14), "F115    ");
    EXPECT_TRUE(checkByteMatches(reply, reply.size() - 1));
    EXPECT_TRUE(pc->receiveFor(100ms).empty());
}

TEST_F(TransactionsTest, FetchSendsTheStoredFileAndItsCheckByte) {
    const std::string file = tagDataFile("tag data \x01\x02\xff", "XY12");
    // Bytes beyond the announced length are not part of the stored file.
    folder_.write("TAG00001.tiv", file + "TRAILING");
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(pc->exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
    const Bytes reply = pc->exchange(goAhead(), fileReplyLength(12));

    ASSERT_EQ(reply.size(), file.size() + 1);
    EXPECT_EQ(Bytes(reply.begin(), reply.end() - 1), bytesOf(file));
    EXPECT_EQ(reply.back(), xorOf(bytesOf(file)));
    EXPECT_TRUE(pc->receiveFor(100ms).empty());
}

TEST_F(TransactionsTest, FetchOfAnUnknownNameIsRefusedWithR) {
    folder_.write("TAG00001.tiv", tagDataFile("abc"));
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(statusLetter(pc->exchange(fetchRequestFor("TAG00002"), 2)), 'R');
    // A go-ahead after the refusal gets nothing, and the device takes the next command.
    pc->send(goAhead());
    EXPECT_TRUE(pc->receiveFor(200ms).empty());
    EXPECT_EQ(listDirectory(*pc, 1).size(), directoryReplyLength(1));
}

class WrongCommandCheckByteTest : public SimulatorTestBase,
                                  public ::testing::WithParamInterface<Bytes> {};

TEST_P(WrongCommandCheckByteTest, IsAnsweredWithX) {
    folder_.write("TAG00001.tiv", tagDataFile("abc"));
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(statusLetter(pc->exchange(withWrongCheckByte(GetParam()), 2)), 'X');
    pc->send(goAhead());
    EXPECT_TRUE(pc->receiveFor(200ms).empty()) << "a refused command went on";
    EXPECT_EQ(folder_.listing(), "TAG00001.tiv");
}

INSTANTIATE_TEST_SUITE_P(EachCommand, WrongCommandCheckByteTest,
                         ::testing::Values(directoryRequest(), fetchRequestFor("TAG00001"),
                                           transferAnnouncement("NEW", bytesOf("HD010003"))),
                         [](const auto& info) { return std::string(1, info.param[0]); });

TEST_F(TransactionsTest, AnnouncementAndDataFrameStoreExactlyTheFile) {
    startProgrammer();
    const auto pc = openPc();
    const std::string file = tagDataFile(std::string("data\0\x02\xff", 7), "ZZ99");

    EXPECT_EQ(sendFile(*pc, "NEW", file), "00");

    EXPECT_EQ(folder_.listing(), "NEW.tiv");
    EXPECT_EQ(folder_.read("NEW.tiv"), file);
    const auto frames = programmer_->receivedFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0][0], kTransferCommand);
    EXPECT_EQ(frames[1], dataFrame(bytesOf(file.substr(8))));
}

TEST_F(TransactionsTest, AnEmptyFileIsStored) {
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(sendFile(*pc, "EMPTY", tagDataFile("")), "00");

    EXPECT_EQ(folder_.read("EMPTY.tiv"), "HD010000");
    EXPECT_EQ(programmer_->receivedFrames().back(), bytesOf("\x02\x02"));
}

TEST_F(TransactionsTest, SendingAStoredNameReplacesTheFile) {
    folder_.write("TAG00001.tiv", tagDataFile("old contents"));
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(sendFile(*pc, "TAG00001", tagDataFile("new")), "00");

    EXPECT_EQ(folder_.listing(), "TAG00001.tiv");
    EXPECT_EQ(folder_.read("TAG00001.tiv"), tagDataFile("new"));
}

TEST_F(TransactionsTest, AStoredFileIsListedAndFetchedBack) {
    startProgrammer();
    const auto pc = openPc();
    const std::string file = tagDataFile("round trip");
    ASSERT_EQ(sendFile(*pc, "TRIP", file), "00");

    const Bytes directory = listDirectory(*pc, 1);
    ASSERT_EQ(directory.size(), directoryReplyLength(1));
    const Bytes name(directory.begin() + 16, directory.begin() + 24);
    EXPECT_EQ(pc->exchange(fetchRequest(name), 2), bytesOf("00"));
    const Bytes reply = pc->exchange(goAhead(), file.size() + 1);

    EXPECT_EQ(Bytes(reply.begin(), reply.end() - 1), bytesOf(file));
}

TEST_F(TransactionsTest, WrongDataCheckByteGetsXAndStoresNothing) {
    startProgrammer();
    const auto pc = openPc();
    const Bytes header = bytesOf("HD010004");

    EXPECT_EQ(statusLetter(pc->exchange(transferAnnouncement("NEW", header), 2)), '0');
    EXPECT_EQ(statusLetter(pc->exchange(withWrongCheckByte(dataFrame(bytesOf("abcd"))), 2)), 'X');

    EXPECT_EQ(folder_.listing(), "");
}

TEST_F(TransactionsTest, FullMemoryRefusesANewNameButReplacesAHeldOne) {
    options_.capacity = 2;
    folder_.write("ONE.tiv", tagDataFile("1"));
    folder_.write("TWO.tiv", tagDataFile("2"));
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(sendFile(*pc, "THREE", tagDataFile("3")), std::string("S\0", 2));
    // The data frame of a refused announcement is not taken either.
    pc->send(dataFrame(bytesOf("3")));
    EXPECT_TRUE(pc->receiveFor(200ms).empty());
    EXPECT_EQ(folder_.listing(), "ONE.tiv TWO.tiv");

    EXPECT_EQ(sendFile(*pc, "TWO", tagDataFile("two")), "00");
    EXPECT_EQ(folder_.read("TWO.tiv"), tagDataFile("two"));
}

class UnstorableAnnouncementTest
    : public SimulatorTestBase,
      public ::testing::WithParamInterface<std::pair<std::string, std::string>> {};

// Names that are no file names here, and a length no file has, get 'W'; nothing is
// written anywhere.
TEST_P(UnstorableAnnouncementTest, IsRefusedWithW) {
    startProgrammer();
    const auto pc = openPc();
    const auto& [name, header] = GetParam();

    EXPECT_EQ(statusLetter(pc->exchange(transferAnnouncement(name, bytesOf(header)), 2)), 'W');

    EXPECT_EQ(folder_.listing(), "");
    EXPECT_FALSE(std::filesystem::exists(folder_.path().parent_path() / "x.tiv"));
}

std::string unstorableCaseName(
    const ::testing::TestParamInfo<std::pair<std::string, std::string>>& info) {
    static const char* const kNames[] = {"PathInName", "EmptyName", "LineEndInName", "NulInName",
                                         "NegativeLength"};
    return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(NamesAndLengths, UnstorableAnnouncementTest,
                         ::testing::Values(std::make_pair("../x", "HD010001"),
                                           std::make_pair("", "HD010001"),
                                           std::make_pair(std::string("A\nB"), "HD010001"),
                                           std::make_pair(std::string("A\0B", 3), "HD010001"),
                                           std::make_pair("NEGATIVE", "HD01-001")),
                         unstorableCaseName);

}  // namespace
}  // namespace dravolin::test
