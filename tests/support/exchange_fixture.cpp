#include "support/exchange_fixture.h"

#include "support/simulator_seed.h"
#include "support/waiting.h"

namespace dravolin::test {

void ExchangeFixture::startProgrammer() {
    simOptions.files = programmer.path();
    simOptions.seed = simulatorSeed();
    programmer_ = std::make_unique<SimulatedProgrammer>(simOptions);
    std::string error;
    ASSERT_TRUE(programmer_->start(error)) << error;
    buildExchange(programmer_->devicePath());
}

void ExchangeFixture::buildExchange(const std::string& devicePath) {
    exchange.reset();
    PortMap map;
    map.map(1, devicePath);
    port = std::make_unique<SerialPort>(warnings, map, ports.factory());
    exchange = std::make_unique<Exchange>(view, *port, settings);
    exchange->setOutcomePause(0);
}

void ExchangeFixture::start(int function) {
    exchange->startExchange(function);
    settle();
}

void ExchangeFixture::choose(int index) {
    exchange->chooseListedFile(index);
    settle();
}

void ExchangeFixture::settle() {
    // The pause after an outcome is a timer too: an exchange has ended once it is idle.
    ASSERT_TRUE(
        waitUntil([this] { return !exchange->busy() || exchange->awaitingFileChoice(); }, 60000));
}

void ExchangeFixture::fetch(const std::string& name, const std::string& savePath) {
    ExchangeRequest request;
    request.kind = ExchangeRequest::Kind::Fetch;
    request.wantedName = name;
    request.path = savePath;
    exchange->start(std::move(request));
    settle();
}

void ExchangeFixture::restartWith(const std::function<void(SimulatorOptions&)>& fault) {
    view = RecordingView{};
    simOptions = SimulatorOptions{};
    fault(simOptions);
    startProgrammer();
}

void ExchangeFixture::expectFailure(char code) {
    EXPECT_EQ(exchange->outcome().letter(), code);
    const std::optional<TextId> box = outcomeBoxText(code);
    ASSERT_EQ(view.boxes.size(), box ? 1u : 0u);
    if (box) {
        EXPECT_EQ(view.boxes[0].text, *box);
        EXPECT_EQ(view.boxes[0].icon, MessageIcon::Exclamation);
    }
    ASSERT_GE(view.statusTexts.size(), 2u);
    const std::size_t outcome = view.statusTexts.size() - 2;
    if (box) {
        EXPECT_EQ(view.statusTexts[outcome], TextId::StatusFailure);
    } else {
        // A letter without a box of its own is named in the status line.
        EXPECT_EQ(view.statusTexts[outcome], TextId::StatusFailureLetter);
        EXPECT_EQ(view.statusArguments[outcome], shownStatusLetter(code));
    }
    EXPECT_EQ(view.lastStatus(), TextId::StatusIdle);
    EXPECT_FALSE(exchange->busy());
}

}  // namespace dravolin::test
