// Each fault knob changes what the programmer sends the way it says.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "simulator_test_base.h"

namespace dravolin::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kStoredData = "0123456789abcdefghij";

class FaultKnobsTest : public SimulatorTestBase {
protected:
    FaultKnobsTest() { folder_.write("TAG00001.tiv", tagDataFile(kStoredData)); }

    // Fetch request and go-ahead; the reply as far as `count` bytes came.
    Bytes fetchReply(const PcSide& pc, std::size_t count) const {
        EXPECT_EQ(pc.exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
        return pc.exchange(goAhead(), count);
    }

    static std::size_t fileReplySize() {
        return fileReplyLength(static_cast<long>(kStoredData.size()));
    }
};

struct ForcedAnswer {
    DeviceCommand command;
    char letter;
};

std::string answerCaseName(const ::testing::TestParamInfo<ForcedAnswer>& info) {
    static const char* const kNames[] = {"Directory", "Fetch", "Announce", "Data"};
    return kNames[static_cast<int>(info.param.command)];
}

class AnswerKnobTest : public FaultKnobsTest, public ::testing::WithParamInterface<ForcedAnswer> {};

TEST_P(AnswerKnobTest, AnswersTheGivenLetterAndDoesNothingElse) {
    options_.answers[GetParam().command] = GetParam().letter;
    startProgrammer();
    const auto pc = openPc();
    const Bytes header = bytesOf("HD010003");

    Bytes status;
    switch (GetParam().command) {
        case DeviceCommand::Directory:
            status = pc->exchange(directoryRequest(), 2);
            break;
        case DeviceCommand::Fetch:
            status = pc->exchange(fetchRequestFor("TAG00001"), 2);
            break;
        case DeviceCommand::Announce:
            status = pc->exchange(transferAnnouncement("NEW", header), 2);
            break;
        case DeviceCommand::Data:
            ASSERT_EQ(statusLetter(pc->exchange(transferAnnouncement("NEW", header), 2)), '0');
            status = pc->exchange(dataFrame(bytesOf("new")), 2);
            break;
    }

    EXPECT_EQ(statusLetter(status), GetParam().letter);
    pc->send(goAhead());
    EXPECT_TRUE(pc->receiveFor(200ms).empty());
    EXPECT_EQ(folder_.listing(), "TAG00001.tiv");
}

INSTANTIATE_TEST_SUITE_P(EachCommand, AnswerKnobTest,
                         ::testing::Values(ForcedAnswer{DeviceCommand::Directory, 'Q'},
                                           ForcedAnswer{DeviceCommand::Fetch, 'A'},
                                           ForcedAnswer{DeviceCommand::Announce, 'S'},
                                           ForcedAnswer{DeviceCommand::Data, 'T'}),
                         answerCaseName);

TEST_F(FaultKnobsTest, CorruptDirectoryCheckByteLeavesTheRestRight) {
    options_.corruptCheck = DataReply::Directory;
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = listDirectory(*pc, 1);

    ASSERT_EQ(reply.size(), directoryReplyLength(1));
    EXPECT_EQ(directoryCount(reply), 1);
    EXPECT_FALSE(checkByteMatches(reply, reply.size() - 1));
}

TEST_F(FaultKnobsTest, CorruptFileCheckByteLeavesTheRestRight) {
    options_.corruptCheck = DataReply::File;
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = fetchReply(*pc, fileReplySize());

    ASSERT_EQ(reply.size(), fileReplySize());
    EXPECT_EQ(Bytes(reply.begin(), reply.end() - 1), bytesOf(tagDataFile(kStoredData)));
    EXPECT_FALSE(checkByteMatches(reply, reply.size() - 1));
    // The directory is not touched by the file knob.
    EXPECT_TRUE(checkByteMatches(listDirectory(*pc, 1), directoryReplyLength(1) - 1));
}

std::string phaseCaseName(const ::testing::TestParamInfo<DevicePhase>& info) {
    static const char* const kNames[] = {"DirectoryStatus", "DirectoryReply", "FetchStatus",
                                         "FileReply",       "AnnounceStatus", "DataStatus"};
    return kNames[static_cast<int>(info.param)];
}

class SilentKnobTest : public FaultKnobsTest, public ::testing::WithParamInterface<DevicePhase> {
protected:
    // Runs the transaction that passes the phase, up to the frame the phase answers;
    // returns what came back for that frame.
    Bytes answerAtPhase(const PcSide& pc) const {
        const Bytes header = bytesOf("HD010003");
        switch (GetParam()) {
            case DevicePhase::DirectoryStatus:
                pc.send(directoryRequest());
                break;
            case DevicePhase::DirectoryReply:
                EXPECT_EQ(pc.exchange(directoryRequest(), 2), bytesOf("00"));
                pc.send(goAhead());
                break;
            case DevicePhase::FetchStatus:
                pc.send(fetchRequestFor("TAG00001"));
                break;
            case DevicePhase::FileReply:
                EXPECT_EQ(pc.exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
                pc.send(goAhead());
                break;
            case DevicePhase::AnnounceStatus:
                pc.send(transferAnnouncement("NEW", header));
                break;
            case DevicePhase::DataStatus:
                EXPECT_EQ(pc.exchange(transferAnnouncement("NEW", header), 2), bytesOf("00"));
                pc.send(dataFrame(bytesOf("new")));
                break;
        }
        return pc.receiveFor(300ms);
    }
};

TEST_P(SilentKnobTest, NothingComesAtThatPhaseAndTheDeviceServesOn) {
    options_.silentPhases.insert(GetParam());
    startProgrammer();
    const auto pc = openPc();

    EXPECT_TRUE(answerAtPhase(*pc).empty());
    EXPECT_EQ(folder_.listing(), "TAG00001.tiv");
    // The other phases still answer.
    if (GetParam() != DevicePhase::FetchStatus && GetParam() != DevicePhase::FileReply) {
        EXPECT_EQ(fetchReply(*pc, fileReplySize()).size(), fileReplySize());
    } else {
        EXPECT_EQ(listDirectory(*pc, 1).size(), directoryReplyLength(1));
    }
}

INSTANTIATE_TEST_SUITE_P(EachPhase, SilentKnobTest,
                         ::testing::Values(DevicePhase::DirectoryStatus,
                                           DevicePhase::DirectoryReply, DevicePhase::FetchStatus,
                                           DevicePhase::FileReply, DevicePhase::AnnounceStatus,
                                           DevicePhase::DataStatus),
                         phaseCaseName);

TEST_F(FaultKnobsTest, TruncatedDirectoryStopsAfterTheGivenBytes) {
    options_.truncate[DataReply::Directory] = 20;
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(pc->exchange(directoryRequest(), 2), bytesOf("00"));
    pc->send(goAhead());
    const Bytes reply = pc->receiveFor(300ms);

    ASSERT_EQ(reply.size(), 20u);
    EXPECT_EQ(std::string(reply.begin() + 12, reply.end()), "0001TAG0");
}

TEST_F(FaultKnobsTest, TruncatedFileReplyStopsAfterTheGivenBytes) {
    options_.truncate[DataReply::File] = 11;
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(pc->exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
    pc->send(goAhead());
    const Bytes reply = pc->receiveFor(300ms);

    EXPECT_EQ(reply, bytesOf(tagDataFile(kStoredData).substr(0, 11)));
}

TEST_F(FaultKnobsTest, CountFieldCarriesTheGivenTextWithTheRealEntries) {
    options_.countField = "abcd";
    folder_.write("TAG00002.tiv", tagDataFile("x"));
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = listDirectory(*pc, 2);

    ASSERT_EQ(reply.size(), directoryReplyLength(2));
    EXPECT_EQ(std::string(reply.begin() + 12, reply.begin() + 16), "abcd");
    EXPECT_EQ(std::string(reply.begin() + 32, reply.begin() + 40), "TAG00002");
    EXPECT_TRUE(checkByteMatches(reply, reply.size() - 1)) << "the check covers what was sent";
    EXPECT_TRUE(pc->receiveFor(100ms).empty());
}

TEST_F(FaultKnobsTest, LengthFieldCarriesTheGivenTextWithTheRealData) {
    options_.lengthField = "-001";
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = fetchReply(*pc, fileReplySize());

    ASSERT_EQ(reply.size(), fileReplySize());
    EXPECT_EQ(std::string(reply.begin() + 4, reply.begin() + 8), "-001");
    EXPECT_EQ(std::string(reply.begin() + 8, reply.end() - 1), kStoredData);
    EXPECT_TRUE(checkByteMatches(reply, reply.size() - 1));
    EXPECT_EQ(folder_.read("TAG00001.tiv"), tagDataFile(kStoredData)) << "the stored file stays";
}

TEST_F(FaultKnobsTest, HangupAfterSomeBytesOfTheDirectoryReply) {
    options_.hangupAfter = 5;
    startProgrammer();
    const auto pc = openPc();

    EXPECT_EQ(pc->exchange(directoryRequest(), 2), bytesOf("00"));
    pc->send(goAhead());

    EXPECT_TRUE(pc->waitForHangup());
    EXPECT_EQ(programmer_->state(), SimulatorState::HungUp);
    EXPECT_NE(programmer_->stateMessage().find("5 bytes of the directory reply"), std::string::npos)
        << programmer_->stateMessage();
}

TEST_F(FaultKnobsTest, HangupWaitsForADataReply) {
    options_.hangupAfter = 3;
    startProgrammer();
    const auto pc = openPc();

    // Status replies do not count.
    EXPECT_EQ(sendFile(*pc, "NEW", tagDataFile("abc")), "00");
    EXPECT_EQ(pc->exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
    pc->send(goAhead());

    EXPECT_TRUE(pc->waitForHangup());
    EXPECT_EQ(programmer_->state(), SimulatorState::HungUp);
    EXPECT_NE(programmer_->stateMessage().find("3 bytes of the file reply"), std::string::npos)
        << programmer_->stateMessage();
}

// Lower bounds only: a loaded machine may take longer, never shorter.
class PaceTest : public FaultKnobsTest {
protected:
    static std::chrono::duration<double> lineTime(std::size_t bytes, int bitsPerByte, long baud) {
        return std::chrono::duration<double>(static_cast<double>(bytes * bitsPerByte) / baud);
    }
};

TEST_F(PaceTest, AReplyTakesAtLeastItsLineTime) {
    const std::string data(200, 'p');
    folder_.write("TAG00001.tiv", tagDataFile(data));
    options_.pace = LinePace{9600, 'N', 1};
    startProgrammer();
    const auto pc = openPc();
    EXPECT_EQ(pc->exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));

    const auto sent = Clock::now();
    const Bytes reply = pc->exchange(goAhead(), fileReplyLength(200));
    const auto took = Clock::now() - sent;

    ASSERT_EQ(reply.size(), fileReplyLength(200));
    EXPECT_GE(took, lineTime(reply.size(), 10, 9600));
}

TEST_F(PaceTest, ParityAndStopBitsCostTimeToo) {
    const std::string data(200, 'p');
    folder_.write("TAG00001.tiv", tagDataFile(data));
    options_.pace = LinePace{9600, 'E', 2};
    startProgrammer();
    const auto pc = openPc();
    EXPECT_EQ(pc->exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));

    const auto sent = Clock::now();
    const Bytes reply = pc->exchange(goAhead(), fileReplyLength(200));
    const auto took = Clock::now() - sent;

    ASSERT_EQ(reply.size(), fileReplyLength(200));
    EXPECT_GE(took, lineTime(reply.size(), 12, 9600));
}

TEST_F(PaceTest, ADataFrameActsOnlyAfterItsLineTime) {
    options_.pace = LinePace{9600, 'N', 1};
    startProgrammer();
    const auto pc = openPc();
    const Bytes frame = dataFrame(bytesOf(std::string(200, 'q')));
    EXPECT_EQ(pc->exchange(transferAnnouncement("NEW", bytesOf("HD010200")), 2), bytesOf("00"));

    const auto sent = Clock::now();
    const Bytes status = pc->exchange(frame, 2);
    const auto took = Clock::now() - sent;

    EXPECT_EQ(status, bytesOf("00"));
    EXPECT_GE(took, lineTime(frame.size() + status.size(), 10, 9600));
}

}  // namespace
}  // namespace dravolin::test
