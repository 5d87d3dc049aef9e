#include "serial/platform/comm_common.h"

// The parts of the comm layer that are the same on every system: the digits of a port
// number, and which events can be waited on. comm_posix.cpp and comm_win32.cpp hold the rest.

namespace dravolin::comm {

bool parseWholeNumber(std::string_view text, int& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + (c - '0');
    }
    value = result;
    return true;
}

bool canWaitOn(std::span<Event* const> events) {
    if (events.empty() || events.size() >= kMostEvents) {
        return false;
    }
    for (const Event* event : events) {
        if (!event->valid()) {
            return false;
        }
    }
    return true;
}

}  // namespace dravolin::comm
