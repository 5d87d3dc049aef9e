#pragma once

#include <functional>

namespace dravolin {

// Runs the calling thread's event loop until `done` holds or `timeoutMs` has passed;
// false on time-out. The loop sleeps between events.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Runs the event loop for `milliseconds`, so that anything that is going to arrive does.
void pumpEvents(int milliseconds);

// Sleeps (without running the event loop) until `done` holds or `timeoutMs` has passed.
bool sleepUntil(const std::function<bool()>& done, int timeoutMs = 10000);

}  // namespace dravolin
