#include "exchange/local_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

// The Windows twin: localtime_s, and the zone's offset worked out here, since the C
// library's %z gives the zone's name there rather than "+0100".

namespace dravolin {

namespace {

// "+0100": how far the local time of `calendar` is ahead of UTC.
std::string zoneOffset(const std::tm& calendar) {
    std::tm local = calendar;
    std::tm asUtc = calendar;
    const std::time_t localSeconds = std::mktime(&local);
    const std::time_t utcSeconds = _mkgmtime(&asUtc);
    const long minutes = static_cast<long>(utcSeconds - localSeconds) / 60;
    char text[8];
    std::snprintf(text, sizeof text, "%c%02ld%02ld", minutes < 0 ? '-' : '+',
                  std::labs(minutes) / 60, std::labs(minutes) % 60);
    return text;
}

}  // namespace

LocalTime localTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    LocalTime local;
    local.milliseconds = static_cast<int>(sinceEpoch % 1000);
    localtime_s(&local.calendar, &seconds);
    return local;
}

std::string formatted(const std::tm& calendar, const char* format) {
    std::string pattern = format;
    for (std::size_t at = pattern.find("%z"); at != std::string::npos; at = pattern.find("%z")) {
        pattern.replace(at, 2, zoneOffset(calendar));
    }
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, pattern.c_str(), &calendar);
    return std::string(text, length);
}

}  // namespace dravolin
