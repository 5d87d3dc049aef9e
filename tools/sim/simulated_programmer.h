#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "protocol/frames.h"
#include "sim/device_link.h"
#include "sim/pseudo_terminal.h"
#include "sim/session_record.h"
#include "sim/simulator_options.h"
#include "sim/wake_signal.h"

namespace dravolin {

class ServingLoop;

// The handheld programmer's side of the line, played on a pseudo-terminal: it answers
// directory, fetch and transfer requests from the files of a folder, with knobs for the
// faults a PC must survive. It serves on its own thread; the PC opens devicePath().
class SimulatedProgrammer {
public:
    using Options = SimulatorOptions;

    explicit SimulatedProgrammer(SimulatorOptions options);
    ~SimulatedProgrammer();
    SimulatedProgrammer(const SimulatedProgrammer&) = delete;
    SimulatedProgrammer& operator=(const SimulatedProgrammer&) = delete;

    // Opens the pseudo-terminal, makes the link if asked and starts serving. On failure
    // nothing is left open and `error` says why.
    bool start(std::string& error);

    // Stops serving, waits for the serving thread and removes the link. Safe to call
    // more than once.
    void stop();

    // The slave path the PC opens; empty before start().
    std::string devicePath() const;

    // Every frame received so far, whole and in order of arrival (the go-ahead included).
    std::vector<Bytes> receivedFrames() const;

    SimulatorState state() const;
    // Why serving ended when the state is HungUp or Failed.
    std::string stateMessage() const;

private:
    bool checkFolder(std::string& error) const;

    SimulatorOptions options_;
    PseudoTerminal terminal_;
    WakeSignal wake_;
    DeviceLink link_;
    SessionRecord record_;
    std::unique_ptr<ServingLoop> loop_;
    std::thread thread_;
    std::string devicePath_;
};

}  // namespace dravolin
