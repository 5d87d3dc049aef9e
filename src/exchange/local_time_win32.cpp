#include "exchange/local_time.h"

#include <cstdio>
#include <cstdlib>

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

std::tm localCalendar(std::time_t seconds) {
    std::tm calendar{};
    localtime_s(&calendar, &seconds);
    return calendar;
}

std::string withZoneOffset(const char* format, const std::tm& calendar) {
    std::string pattern = format;
    for (std::size_t at = pattern.find("%z"); at != std::string::npos; at = pattern.find("%z")) {
        pattern.replace(at, 2, zoneOffset(calendar));
    }
    return pattern;
}

}  // namespace dravolin
