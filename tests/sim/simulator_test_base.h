#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pc_side.h"
#include "sim/simulated_programmer.h"
#include "support/test_folder.h"

namespace dravolin::test {

// A simulated programmer serving a fresh folder, its notes kept off the test's output.
class SimulatorTestBase : public ::testing::Test {
protected:
    SimulatorTestBase();

    // Starts the programmer with options_; fails the test when it cannot.
    void startProgrammer();

    // The whole send transaction; returns the status letters (one when the announcement
    // is refused).
    std::string sendFile(const PcSide& pc, const std::string& name, const std::string& file) const;

    TestFolder folder_;
    SimulatorOptions options_;
    std::unique_ptr<SimulatedProgrammer> programmer_;
};

}  // namespace dravolin::test
