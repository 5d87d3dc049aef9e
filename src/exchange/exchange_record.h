#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "core/port_settings.h"

namespace dravolin {

// What one exchange was and how it ended, as the transfer log keeps it.
struct ExchangeRecord {
    // list: a receive that ended before a file was fetched (a listing, or a failure on the
    // way to one); get: a receive that fetched a file; put: a send; find: a whole search
    // for the programmer, however many devices and settings it tried.
    enum class Function { List, Get, Put, Find };

    Function function = Function::List;
    std::chrono::system_clock::time_point startedAt;
    // The time on the line, from opening the link to closing it (a receive's listing and
    // its fetch added up), without the operator's time in the list and in dialogs.
    std::chrono::steady_clock::duration duration{};
    std::string devicePath;     // the device the Com port stands for
    PortSettings line;          // baud, parity, data and stop bits of the exchange
    std::string pcPath;         // the file on the PC; empty when none was chosen
    std::string deviceName;     // the file's name on the device; empty when none
    std::size_t fileBytes = 0;  // header and data of the file (of a get: those received)
    char outcome = '0';         // the status letter; means nothing when cancelled
    bool cancelled = false;     // by the operator, or a file dialog was cancelled
    bool lineUsed = false;      // the link was opened during the exchange
    // Of a search: each device asked and the settings tried on it, in the first pass and,
    // where there was one, the second: "/dev/ttyUSB0:24;/dev/pts/4:24+11".
    std::string tried;
};

}  // namespace dravolin
