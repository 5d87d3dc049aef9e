#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "log_capture.h"
#include "pc_side.h"
#include "sim/simulated_programmer.h"
#include "test_folder.h"

namespace dravolin::test {

// A simulated programmer serving a fresh folder, its notes captured (trace on, so that
// tests can wait for the events it reports).
class SimulatorTestBase : public ::testing::Test {
protected:
    SimulatorTestBase();

    // Starts the programmer with options_; fails the test when it cannot.
    void startProgrammer();
    // Opens the PC's end and waits until the programmer has seen it come.
    std::unique_ptr<PcSide> openPc();
    // Closes the PC's end and waits until the programmer has seen it go.
    void closeAndWaitUntilSeen(std::unique_ptr<PcSide>& pc);

    // The whole directory transaction: request, status, go-ahead, reply of `entries`.
    Bytes listDirectory(const PcSide& pc, std::size_t entries) const;
    // The whole send transaction; returns the two status letters (second is 0 when the
    // announcement is refused).
    std::string sendFile(const PcSide& pc, const std::string& name, const std::string& file) const;

    TestFolder folder_;
    LogCapture log_;
    SimulatorOptions options_;
    std::unique_ptr<SimulatedProgrammer> programmer_;
};

}  // namespace dravolin::test
