#include "exchange/local_time.h"

#include <ctime>

namespace dravolin {

LocalTime localTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    LocalTime local;
    local.milliseconds = static_cast<int>(sinceEpoch % 1000);
    ::localtime_r(&seconds, &local.calendar);
    return local;
}

std::string formatted(const std::tm& calendar, const char* format) {
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, format, &calendar);
    return std::string(text, length);
}

}  // namespace dravolin
