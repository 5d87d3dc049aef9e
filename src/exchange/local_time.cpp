#include "exchange/local_time.h"

// The POSIX twin: strftime writes %z as the offset itself.

namespace dravolin {

std::tm localCalendar(std::time_t seconds) {
    std::tm calendar{};
    ::localtime_r(&seconds, &calendar);
    return calendar;
}

std::string withZoneOffset(const char* format, const std::tm& /*calendar*/) {
    return format;
}

}  // namespace dravolin
