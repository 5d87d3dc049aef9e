#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "sim/simulator_options.h"

namespace dravolin::test {

// Collects the simulator's notes and trace lines so that tests can look at them and wait
// for an event the device reports (e.g. that it saw the line close).
class LogCapture {
public:
    LogSink sink();
    std::vector<std::string> lines() const;
    bool contains(const std::string& text) const;
    // Waits until a line holds `text`; false after `patience`.
    bool waitFor(const std::string& text, std::chrono::milliseconds patience);

    // How many lines hold `text`, and a wait until at least `count` do.
    std::size_t count(const std::string& text) const;
    bool waitForCount(const std::string& text, std::size_t count,
                      std::chrono::milliseconds patience);

private:
    std::size_t countLocked(const std::string& text) const;

    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::vector<std::string> lines_;
};

}  // namespace dravolin::test
