#include <gtest/gtest.h>

#include "serial/platform/comm.h"
#include "support/exchange_fixture.h"

namespace dravolin::test {
namespace {

// Cancelling a running exchange, and a line whose device goes away during it.
class CancelAndDeadLine : public ExchangeFixture {
protected:
    // The exchange ended as cancelled: no box, "Cancelled", then idle, and the line free
    // for another opening at once.
    void expectCancelled() {
        EXPECT_TRUE(exchange->cancelled());
        EXPECT_FALSE(exchange->busy());
        EXPECT_TRUE(view.boxes.empty());
        ASSERT_GE(view.statusTexts.size(), 2u);
        EXPECT_EQ(view.statusTexts[view.statusTexts.size() - 2], TextId::StatusCancelled);
        EXPECT_EQ(view.lastStatus(), TextId::StatusIdle);
        EXPECT_EQ(view.cancelAvailable.back(), false);
        EXPECT_EQ(view.fileListModes.back(), 0);
        comm::Port other;
        EXPECT_TRUE(other.open(devicePath())) << comm::errorText(comm::lastError());
    }

    // Answers the next save dialog, lists the programmer's files and picks the first one.
    void fetchFirst(const std::string& savePath) {
        exchange->startExchange(Exchange::kReceiveFunction);
        ASSERT_TRUE(exchange->awaitingFileChoice());
        view.dialogAnswers.push_back(savePath);
        exchange->chooseListedFile(0);
    }

    // The programmer on the other end is replaced by one with `options`, as a receive goes
    // from the listing to the fetch.
    void continueWith(SimulatorOptions options) {
        options.files = programmer.path();
        next_ = std::make_unique<SimulatedProgrammer>(options);
        std::string error;
        ASSERT_TRUE(next_->start(error)) << error;
        PortMap map;
        map.map(1, next_->devicePath());
        port->setPortMap(map);
    }

    std::unique_ptr<SimulatedProgrammer> next_;
};

TEST_F(CancelAndDeadLine, CancelMidFetchWritesNothingAndLeavesAnExistingFileAlone) {
    programmer.write("BIG.tiv", tagDataFile(std::string(3000, 'b')));
    pc.write("keep.tiv", "precious");
    simOptions.pace = LinePace{38400, 'E', 1};  // the file reply takes most of a second
    startProgrammer();
    view.onProgress = [this](const TransferProgress& progress) {
        if (progress.expected > 1000 && progress.done > 100) {
            exchange->cancel();
        }
    };
    fetchFirst(pcFile("keep.tiv"));

    expectCancelled();
    EXPECT_LT(view.progress.back().done, 3009u);
    EXPECT_EQ(pc.read("keep.tiv"), "precious");
    EXPECT_EQ(pc.listing(), "keep.tiv");  // nothing half-written beside it
}

TEST_F(CancelAndDeadLine, CancelMidSendLeavesTheProgrammerWithoutTheFile) {
    pc.write("BIG.tiv", tagDataFile(std::string(3000, 's')));
    simOptions.pace = LinePace{9600, 'E', 1};
    startProgrammer();
    view.onProgress = [this](const TransferProgress& progress) {
        if (progress.done > 100) {
            exchange->cancel();
        }
    };
    view.dialogAnswers.push_back(pcFile("BIG.tiv"));
    exchange->startExchange(Exchange::kSendFunction);

    expectCancelled();
    EXPECT_FALSE(programmer.holds("BIG.tiv"));
}

TEST_F(CancelAndDeadLine, CancelWhileTheListWaitsEndsAtOnceAndCancelWhenIdleDoesNothing) {
    programmer.write("A.tiv", tagDataFile("a"));
    startProgrammer();
    exchange->cancel();
    EXPECT_TRUE(view.statusTexts.empty());

    exchange->startExchange(Exchange::kReceiveFunction);
    ASSERT_TRUE(exchange->awaitingFileChoice());
    exchange->cancel();
    expectCancelled();
    EXPECT_TRUE(view.dialogs.empty());
}

TEST_F(CancelAndDeadLine, HangUpMidFileReplyEndsWithNAndSaysTheDeviceHasGone) {
    programmer.write("BIG.tiv", tagDataFile(std::string(2000, 'h')));
    startProgrammer();
    exchange->startExchange(Exchange::kReceiveFunction);
    ASSERT_TRUE(exchange->awaitingFileChoice());
    SimulatorOptions dying;
    dying.hangupAfter = 100;  // the file reply's time-out would be 100 s
    continueWith(dying);
    view.dialogAnswers.push_back(pcFile("big.tiv"));
    exchange->chooseListedFile(0);

    expectFailure('N');
    ASSERT_TRUE(view.boxes[0].cause.has_value());
    EXPECT_EQ(view.boxes[0].cause->id, TextId::DeviceGone);
    EXPECT_EQ(view.boxes[0].cause->arguments, std::vector<std::string>{next_->devicePath()});
    EXPECT_EQ(exchange->causeLine()->id, TextId::DeviceGone);
    EXPECT_EQ(next_->state(), SimulatorState::HungUp);
    EXPECT_FALSE(pc.holds("big.tiv"));
}

TEST_F(CancelAndDeadLine, ProgrammerGoneMidSendEndsWithNAndTheCause) {
    pc.write("BIG.tiv", tagDataFile(std::string(3000, 's')));
    simOptions.pace = LinePace{9600, 'E', 1};  // the data frame takes over three seconds
    startProgrammer();
    bool stopped = false;
    view.onProgress = [&](const TransferProgress& progress) {
        if (progress.done > 100 && !stopped) {
            stopped = true;
            stopProgrammer();
        }
    };
    view.dialogAnswers.push_back(pcFile("BIG.tiv"));
    exchange->startExchange(Exchange::kSendFunction);

    expectFailure('N');
    ASSERT_TRUE(view.boxes[0].cause.has_value());
    EXPECT_EQ(view.boxes[0].cause->arguments, std::vector<std::string>{devicePath()});
}

TEST_F(CancelAndDeadLine, ASilentProgrammerKeepsItsTimeOutAndNoCause) {
    simOptions.silentPhases.insert(DevicePhase::DirectoryStatus);
    startProgrammer();
    exchange->startExchange(Exchange::kReceiveFunction);
    expectFailure('N');
    EXPECT_EQ(waits, (std::vector<Wait>{{2, 1000}}));
    EXPECT_FALSE(view.boxes[0].cause.has_value());
}

}  // namespace
}  // namespace dravolin::test
