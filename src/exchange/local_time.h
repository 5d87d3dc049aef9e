#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace dravolin {

// A moment on the local clock, to the millisecond, for the lines of the log and the trace.
struct LocalTime {
    std::tm calendar{};
    int milliseconds = 0;
};

LocalTime localTime(std::chrono::system_clock::time_point when);

// `calendar` written by strftime with `format`; %z is the zone's offset ("+0100") on every
// system.
std::string formatted(const std::tm& calendar, const char* format);

// "007": the milliseconds as three digits.
std::string threeDigits(int milliseconds);

// The system's calls under the above, one twin per system: the local calendar of a moment,
// and `format` as this system's strftime writes %z as an offset.
std::tm localCalendar(std::time_t seconds);
std::string withZoneOffset(const char* format, const std::tm& calendar);

}  // namespace dravolin
