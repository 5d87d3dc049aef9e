#include "sim/session_record.h"

namespace dravolin {

void SessionRecord::addFrame(const Bytes& frame) {
    const std::lock_guard lock(mutex_);
    frames_.push_back(frame);
}

std::vector<Bytes> SessionRecord::frames() const {
    const std::lock_guard lock(mutex_);
    return frames_;
}

void SessionRecord::setState(SimulatorState state, const std::string& message) {
    const std::lock_guard lock(mutex_);
    state_ = state;
    message_ = message;
}

void SessionRecord::markStopped() {
    const std::lock_guard lock(mutex_);
    if (state_ == SimulatorState::Serving) {
        state_ = SimulatorState::Stopped;
    }
}

SimulatorState SessionRecord::state() const {
    const std::lock_guard lock(mutex_);
    return state_;
}

std::string SessionRecord::message() const {
    const std::lock_guard lock(mutex_);
    return message_;
}

}  // namespace dravolin
