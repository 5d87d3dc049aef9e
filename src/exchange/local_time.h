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

// `calendar` written by strftime with `format`.
std::string formatted(const std::tm& calendar, const char* format);

// "007": the milliseconds as three digits.
std::string threeDigits(int milliseconds);

}  // namespace dravolin
