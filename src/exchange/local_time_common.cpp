#include "exchange/local_time.h"

#include <cstdio>

// What the local time's text does the same on every system. The calendar and its formatting
// are in local_time.cpp and local_time_win32.cpp.

namespace dravolin {

std::string threeDigits(int milliseconds) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", milliseconds);
    return text;
}

}  // namespace dravolin
