#include <gtest/gtest.h>

#include "serial/platform/comm.h"
#include "support/exchange_fixture.h"

namespace dravolin::test {
namespace {

// Cancelling a send, and a line whose device goes away during one (the window's tests
// cover the same for a receive).
class CancelAndDeadLine : public ExchangeFixture {};

TEST_F(CancelAndDeadLine, CancelOrTheProgrammerGoneMidSendLeavesItWithoutTheFile) {
    pc.write("BIG.tiv", tagDataFile(std::string(3000, 's')));
    simOptions.pace = LinePace{9600, 'E', 1};  // the data frame takes over three seconds
    startProgrammer();
    view.onProgress = [this](const TransferProgress& progress) {
        if (progress.done > 100) {
            exchange->cancel();
        }
    };
    view.dialogAnswers.push_back(pcFile("BIG.tiv"));
    start(Exchange::kSendFunction);

    // No box, "Cancelled", then idle, and the line free for another opening at once.
    EXPECT_TRUE(exchange->cancelled());
    EXPECT_FALSE(exchange->busy());
    EXPECT_TRUE(view.boxes.empty());
    ASSERT_GE(view.statusTexts.size(), 2u);
    EXPECT_EQ(view.statusTexts[view.statusTexts.size() - 2], TextId::StatusCancelled);
    EXPECT_EQ(view.lastStatus(), TextId::StatusIdle);
    EXPECT_EQ(view.cancelAvailable.back(), false);
    EXPECT_EQ(view.fileListModes.back(), 0);
    const std::unique_ptr<comm::Port> other = comm::makeSystemPort();
    EXPECT_TRUE(other->open(devicePath())) << comm::errorText(comm::lastError());
    EXPECT_FALSE(programmer.holds("BIG.tiv"));

    // Gone: the exchange ends with N and names the device.
    restartWith([](SimulatorOptions& options) { options.pace = LinePace{9600, 'E', 1}; });
    bool stopped = false;
    view.onProgress = [&](const TransferProgress& progress) {
        if (progress.done > 100 && !stopped) {
            stopped = true;
            stopProgrammer();
        }
    };
    view.dialogAnswers.push_back(pcFile("BIG.tiv"));
    start(Exchange::kSendFunction);

    expectFailure('N');
    EXPECT_EQ(view.boxes[0].causeLine, "The device " + devicePath() + " has gone.");
    EXPECT_EQ(exchange->causeLine(), view.boxes[0].causeLine);
}

}  // namespace
}  // namespace dravolin::test
