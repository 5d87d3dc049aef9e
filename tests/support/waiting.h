#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>
#include <thread>

namespace dravolin {

// Runs the event loop until `done` holds or `timeoutMs` has passed; false on time-out. The
// loop wakes every `lookEveryMs` to look at `done` again.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000,
                      int lookEveryMs = 5) {
    QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(lookEveryMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop for a while, so that anything that is going to arrive does.
inline void pumpEvents(int milliseconds) {
    waitUntil([] { return false; }, milliseconds);
}

// Like waitUntil, but without running the event loop (deliveries stay pending).
inline bool sleepUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace dravolin
