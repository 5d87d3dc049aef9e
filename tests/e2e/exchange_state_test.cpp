#include <gtest/gtest.h>

#include <QTimer>

#include "core/message_catalog.h"
#include "support/exchange_fixture.h"
#include "support/waiting.h"

namespace dravolin::test {
namespace {

class ExchangeState : public ExchangeFixture {
protected:
    void receive(std::uint8_t byte) { exchange->portMessage(MSG_RX_CHAR, byte, 1); }
};

// A programmer set to another rate does not understand the command, and what the line
// brings comes with framing errors or is noise that cannot be a reply: the failure says what
// to look at. (A silent line has none: the trace's time-out case.)
TEST_F(ExchangeState, ErrorsOnTheLineOrNoiseForAReplyAddTheLineSettingsAsCause) {
    simOptions.silentPhases.insert(DevicePhase::DirectoryStatus);
    ports.plan.noise = std::string("\xFF\x00\x55", 3);
    startProgrammer();
    start(Exchange::kReceiveFunction);
    ASSERT_NO_FATAL_FAILURE(expectFailure('N'));
    EXPECT_EQ(view.boxes[0].causeLine,
              "The programmer's line settings (baud, parity, stop bits) probably differ: use Find "
              "the programmer.");

    restartWith([](SimulatorOptions& options) {
        options.line = LinePace{19200, 'O', 2};
        options.noisePercent = 100;
    });
    ports.plan.noise.clear();
    start(Exchange::kReceiveFunction);
    expectFailure('N');
    EXPECT_EQ(view.boxes[0].causeLine,
              MessageCatalog(Language::English).lookup(TextId::LineSettingsDiffer));
}

TEST_F(ExchangeState, BytesFromBeforeATransactionAreDiscardedByItsFirstSend) {
    programmer.write("TAG00001.tiv", tagDataFile("a"));
    startProgrammer();
    for (char stale : std::string("XRRRRRRRRRRRRRRRRRRRRR")) {
        receive(static_cast<std::uint8_t>(stale));
    }
    start(Exchange::kReceiveFunction);
    EXPECT_TRUE(exchange->awaitingFileChoice());
    EXPECT_EQ(view.fileList, (std::vector<std::string>{"TAG00001"}));
}

TEST_F(ExchangeState, PortThatCannotBeOpenedEndsWithNAndSaysWhyUnderItsText) {
    startWithoutProgrammer();
    start(Exchange::kReceiveFunction);
    EXPECT_EQ(exchange->lastOutcome(), 'N');
    EXPECT_TRUE(warnings.warnings().empty());
    ASSERT_TRUE(port->openFailure());
    const std::string cause = port->openFailure()->english();
    EXPECT_NE(cause.find("no-device-here does not exist"), std::string::npos) << cause;
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, TextId::DeviceNotResponding);
    EXPECT_EQ(view.boxes[0].causeLine, cause);
    EXPECT_FALSE(exchange->busy());

    // The next exchange starts without the old cause (a send whose file choice is
    // cancelled never reaches the port).
    start(Exchange::kSendFunction);
    EXPECT_FALSE(exchange->busy());
    EXPECT_EQ(exchange->causeLine(), "");
}

TEST_F(ExchangeState, OutcomeStaysOnScreenForThePauseWhileTheExchangeIsBusy) {
    startProgrammer();
    exchange->setOutcomePause(Exchange::kOutcomePauseMs);
    exchange->startExchange(Exchange::kReceiveFunction);  // an empty directory: success
    // The success text shows and the window is still locked: the pause holds it.
    ASSERT_TRUE(waitUntil([this] { return view.lastStatus() == TextId::StatusSuccess; }, 60000));
    EXPECT_TRUE(exchange->busy());
    EXPECT_EQ(exchange->lastOutcome(), '0');
    settle();
    EXPECT_EQ(view.lastStatus(), TextId::StatusIdle);
    EXPECT_FALSE(exchange->busy());
}

}  // namespace
}  // namespace dravolin::test
