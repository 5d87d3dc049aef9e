#include "exchange/local_time.h"

#include <cstdio>

// What the local time's text does the same on every system. The calendar and the zone's
// offset are in local_time.cpp and local_time_win32.cpp.

namespace dravolin {

LocalTime localTime(std::chrono::system_clock::time_point when) {
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    LocalTime local;
    local.milliseconds = static_cast<int>(sinceEpoch % 1000);
    local.calendar = localCalendar(std::chrono::system_clock::to_time_t(when));
    return local;
}

std::string formatted(const std::tm& calendar, const char* format) {
    const std::string pattern = withZoneOffset(format, calendar);
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, pattern.c_str(), &calendar);
    return std::string(text, length);
}

std::string threeDigits(int milliseconds) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", milliseconds);
    return text;
}

}  // namespace dravolin
