// The content of a UUCP lock file: anyone may write one into the lock folder.

#include <climits>
#include <cstdio>
#include <string_view>

#include "fuzz_support.h"
#include "serial/port_lock.h"

using namespace dravolin;
using dravolin::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const pid_t holder = PortLock::parseHolder(content);
    require(holder >= 0, "a lock names a process or nobody");
    if (holder > 0) {
        // Written in the usual form, the process named reads back the same.
        char text[16];
        std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(holder));
        require(PortLock::parseHolder(text) == holder, "the usual form reads back");
    }
    return 0;
}
