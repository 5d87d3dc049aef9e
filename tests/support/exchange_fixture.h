#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "serial/serial_port.h"
#include "sim/simulated_programmer.h"
#include "support/recording_presenter.h"
#include "support/recording_view.h"
#include "support/scripted_port.h"
#include "support/test_folder.h"
#include "support/wait_hook.h"

namespace dravolin::test {

// A whole exchange over a real pseudo-terminal: the simulated programmer serves the
// folder `programmer`, the exchange runs with a recording view and saves into `pc`.
class ExchangeFixture : public ::testing::Test {
protected:
    // Starts the programmer with `simOptions` and builds the exchange on COM1 mapped to it.
    void startProgrammer();

    std::string devicePath() const { return programmer_->devicePath(); }
    // The programmer goes away: its side of the line closes, as a pulled adapter's would.
    void stopProgrammer() { programmer_->stop(); }
    std::string pcFile(const std::string& name) const { return (pc.path() / name).string(); }

    // Starts `function` and runs the event loop until the exchange has ended or its listed
    // directory waits for a pick.
    void start(int function);
    // Picks entry `index` of the listed directory and runs the event loop until the
    // exchange has ended.
    void choose(int index);
    // Runs the event loop until the exchange has ended or waits for a pick.
    void settle();

    // Fetches the entry `name` (trailing blanks aside) into `savePath` as a program's get
    // does: one exchange that lists the directory first.
    void fetch(const std::string& name, const std::string& savePath);

    // Starts afresh with a programmer whose options `fault` sets, forgetting what was shown.
    void restartWith(const std::function<void(SimulatorOptions&)>& fault);

    // The exchange ended with `code`: its box (if the letter has one), the failure text
    // (naming a letter that has no box) and an idle window.
    void expectFailure(char code);

    TestFolder programmer;
    TestFolder pc;
    SimulatorOptions simOptions;
    PortSettings settings;
    RecordingView view;
    RecordingPresenter warnings;
    ScriptedPorts ports;  // the device of each opening of the link
    std::unique_ptr<SerialPort> port;
    std::unique_ptr<Exchange> exchange;

private:
    void buildExchange(const std::string& devicePath);

    std::unique_ptr<SimulatedProgrammer> programmer_;
};

}  // namespace dravolin::test
