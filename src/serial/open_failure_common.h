#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/message_catalog.h"
#include "protocol/escaped_name.h"
#include "serial/open_failure_cause.h"

namespace dravolin {

// Why opening `devicePath` failed with `code`, where every system words it alike: no device
// named, a missing device, one without hardware, one that is no serial port, and any other
// code with the system's text for it. Busy and permission failures are each system's own:
// open_failure_cause.cpp and its Windows twin handle those and hand every other code here,
// then make the words shown as they make their own.
FilledText commonOpenFailureText(const std::string& devicePath, int code);

// A cause as shown. Every word of it comes from outside (a path, a group, a process's own
// name, which any user may set to escape sequences, a lock file, a system error text), so
// each is made safe for a terminal and the log here, on every system.
// `show` is shownText, or shownWindowsText where paths are Windows paths.
OpenFailure shownOpenFailure(TextId text, std::vector<std::string> words,
                             std::string (*show)(std::string_view) = shownText);

}  // namespace dravolin
