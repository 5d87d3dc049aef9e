// How the programmer copes with the line: PCs that close and reopen it, stray and
// unfinished bytes, the link to the device path, the trace, stopping.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "simulator_test_base.h"

namespace dravolin::test {
namespace {

class LineHandlingTest : public SimulatorTestBase {};

TEST_F(LineHandlingTest, EachTransactionOnAFreshOpeningOfTheLine) {
    folder_.write("TAG00001.tiv", tagDataFile("abc"));
    startProgrammer();

    auto pc = openPc();
    EXPECT_EQ(listDirectory(*pc, 1).size(), directoryReplyLength(1));
    closeAndWaitUntilSeen(pc);

    pc = openPc();
    EXPECT_EQ(pc->exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
    EXPECT_EQ(pc->exchange(goAhead(), fileReplyLength(3)).size(), fileReplyLength(3));
    closeAndWaitUntilSeen(pc);

    pc = openPc();
    EXPECT_EQ(sendFile(*pc, "NEW", tagDataFile("xyz")), "00");
    EXPECT_EQ(folder_.read("NEW.tiv"), tagDataFile("xyz"));
}

TEST_F(LineHandlingTest, AFrameCutShortByClosingTheLineIsForgotten) {
    startProgrammer();
    auto pc = openPc();
    // Half a transfer announcement; the rest would swallow the next request.
    pc->send(bytesOf("TNEW     HD"));
    closeAndWaitUntilSeen(pc);

    pc = openPc();
    EXPECT_EQ(pc->exchange(directoryRequest(), 2), bytesOf("00"));
}

TEST_F(LineHandlingTest, AnAnswerThePcDidNotWaitForDoesNotReachTheNextOpening) {
    folder_.write("TAG00001.tiv", tagDataFile(std::string(2000, 'd')));
    options_.pace = LinePace{57600, 'N', 1};
    startProgrammer();
    auto pc = openPc();
    EXPECT_EQ(pc->exchange(fetchRequestFor("TAG00001"), 2), bytesOf("00"));
    pc->send(goAhead());
    // Leave while the reply is still on its way (it takes about 0.35 s at this pace).
    EXPECT_EQ(pc->receive(100).size(), 100u);
    closeAndWaitUntilSeen(pc);

    pc = openPc();
    EXPECT_EQ(pc->exchange(directoryRequest(), 2), bytesOf("00"));
}

TEST_F(LineHandlingTest, BytesFromAPcThatCameAndWentUnseenAreDropped) {
    startProgrammer();
    {
        // Opened, written and closed without waiting for the programmer to notice.
        const PcSide hasty(programmer_->devicePath());
        hasty.send(bytesOf("TNEW     HD"));
    }
    EXPECT_TRUE(log_.waitFor("discarded (line closed)", 5s));

    const auto pc = openPc();
    EXPECT_EQ(pc->exchange(directoryRequest(), 2), bytesOf("00"));
}

TEST_F(LineHandlingTest, AFrameLeftUnfinishedForOverASecondIsDropped) {
    startProgrammer();
    const auto pc = openPc();
    pc->send(bytesOf("GTAG"));
    EXPECT_TRUE(log_.waitFor("discarded (idle)", 5s));

    EXPECT_EQ(pc->exchange(directoryRequest(), 2), bytesOf("00"));
}

TEST_F(LineHandlingTest, UnknownBytesBeforeACommandAreSkipped) {
    startProgrammer();
    const auto pc = openPc();

    Bytes noisy = bytesOf(std::string("\x00\xff?z\x02", 5));
    const Bytes request = directoryRequest();
    noisy.insert(noisy.end(), request.begin(), request.end());
    EXPECT_EQ(pc->exchange(noisy, 2), bytesOf("00"));

    EXPECT_EQ(programmer_->receivedFrames(), std::vector<Bytes>{request});
}

std::string hexLine(const std::string& direction, const Bytes& bytes) {
    std::string line = direction;
    char hex[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", byte);
        line += hex;
    }
    return line;
}

TEST_F(LineHandlingTest, TraceShowsEveryFrameInBothDirections) {
    startProgrammer();
    const auto pc = openPc();

    const Bytes reply = listDirectory(*pc, 0);

    const auto lines = log_.lines();
    const std::vector<std::string> expected = {"PC>DEV 44 44", "DEV>PC 30 30", "PC>DEV 02",
                                               hexLine("DEV>PC", reply)};
    auto next = lines.begin();
    for (const auto& line : expected) {
        next = std::find(next, lines.end(), line);
        EXPECT_NE(next, lines.end()) << "missing or out of order: " << line;
    }
}

TEST_F(LineHandlingTest, NoTraceUnlessAsked) {
    options_.trace = false;
    startProgrammer();
    const PcSide pc(programmer_->devicePath());

    listDirectory(pc, 0);

    EXPECT_FALSE(log_.contains("PC>DEV"));
    EXPECT_FALSE(log_.contains("DEV>PC"));
}

TEST_F(LineHandlingTest, StoppingEndsServingAndClosesTheLine) {
    startProgrammer();
    const auto pc = openPc();
    EXPECT_EQ(programmer_->state(), SimulatorState::Serving);

    programmer_->stop();
    programmer_->stop();

    EXPECT_EQ(programmer_->state(), SimulatorState::Stopped);
    EXPECT_TRUE(pc->waitForHangup());
}

TEST_F(LineHandlingTest, RefusesAFolderThatIsNotThere) {
    options_.files = folder_.path() / "missing";
    SimulatedProgrammer programmer(options_);
    std::string error;

    EXPECT_FALSE(programmer.start(error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

class DeviceLinkTest : public SimulatorTestBase {
protected:
    std::filesystem::path linkPath() const { return folder_.path() / "voska"; }
};

TEST_F(DeviceLinkTest, PointsAtTheDeviceUntilStopped) {
    options_.link = linkPath();
    startProgrammer();

    ASSERT_TRUE(std::filesystem::is_symlink(linkPath()));
    EXPECT_EQ(std::filesystem::read_symlink(linkPath()).string(), programmer_->devicePath());
    {
        const PcSide pc(linkPath().string());
        EXPECT_EQ(pc.exchange(directoryRequest(), 2), bytesOf("00"));
    }
    programmer_->stop();

    EXPECT_FALSE(std::filesystem::is_symlink(linkPath()));
}

TEST_F(DeviceLinkTest, ReplacesAnOldLink) {
    std::filesystem::create_symlink("/dev/null", linkPath());
    options_.link = linkPath();
    startProgrammer();

    EXPECT_EQ(std::filesystem::read_symlink(linkPath()).string(), programmer_->devicePath());
}

TEST_F(DeviceLinkTest, RefusesToReplaceARegularFile) {
    folder_.write("voska", "someone's notes");
    options_.link = linkPath();
    SimulatedProgrammer programmer(options_);
    std::string error;

    EXPECT_FALSE(programmer.start(error));

    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    EXPECT_EQ(folder_.read("voska"), "someone's notes");
}

}  // namespace
}  // namespace dravolin::test
