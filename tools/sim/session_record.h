#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "protocol/frames.h"

namespace dravolin {

enum class SimulatorState {
    NotStarted,
    Serving,
    HungUp,   // closed the line on purpose (--hangup-after) and stopped serving
    Failed,   // stopped serving because the line failed
    Stopped,  // stopped by its owner
};

// What the serving thread shares with the tests and the program: the frames received so
// far and how serving ended. Safe to use from any thread.
class SessionRecord {
public:
    void addFrame(const Bytes& frame);
    std::vector<Bytes> frames() const;

    void setState(SimulatorState state, const std::string& message = {});
    // Records Stopped unless serving already ended for another reason.
    void markStopped();
    SimulatorState state() const;
    std::string message() const;

private:
    mutable std::mutex mutex_;
    std::vector<Bytes> frames_;
    SimulatorState state_ = SimulatorState::NotStarted;
    std::string message_;
};

}  // namespace dravolin
