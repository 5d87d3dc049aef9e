#include "log_capture.h"

#include <algorithm>

namespace dravolin::test {

LogSink LogCapture::sink() {
    return [this](const std::string& line) {
        const std::lock_guard lock(mutex_);
        lines_.push_back(line);
        added_.notify_all();
    };
}

std::vector<std::string> LogCapture::lines() const {
    const std::lock_guard lock(mutex_);
    return lines_;
}

bool LogCapture::contains(const std::string& text) const {
    const std::lock_guard lock(mutex_);
    return countLocked(text) > 0;
}

bool LogCapture::waitFor(const std::string& text, std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, patience, [&] { return countLocked(text) > 0; });
}

std::size_t LogCapture::count(const std::string& text) const {
    const std::lock_guard lock(mutex_);
    return countLocked(text);
}

bool LogCapture::waitForCount(const std::string& text, std::size_t count,
                              std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, patience, [&] { return countLocked(text) >= count; });
}

std::size_t LogCapture::countLocked(const std::string& text) const {
    return static_cast<std::size_t>(std::count_if(
        lines_.begin(), lines_.end(),
        [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

}  // namespace dravolin::test
