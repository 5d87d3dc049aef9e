#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "serial/port_scanner.h"

namespace dravolin {

// A device the search may try, or one it leaves alone and why.
struct SearchCandidate {
    std::string devicePath;             // as found or given: "/dev/ttyUSB0"
    std::string shownName;              // the stable name where there is one
    std::optional<FilledText> skipped;  // why it is not tried; nothing when it is
};

// Which devices the search asks, in order: the USB adapters found, then the built-in ports
// whose UART the kernel found, or exactly the devices the operator named. A device the
// system uses as its console is never touched (not even opened), nor one another program
// has locked, nor one the operator may not open; each of those is listed with its reason.
class SearchCandidates {
public:
    SearchCandidates(const PortScanner& scanner, std::string lockFolder);

    // `chosen`: devices the operator has already given (the Com ports' devices); those the
    // scan does not list (a simulator's pseudo-terminal, a path typed in) come after the
    // USB adapters.
    std::vector<SearchCandidate> discovered(const std::vector<std::string>& chosen = {}) const;
    std::vector<SearchCandidate> named(const std::vector<std::string>& devicePaths) const;

    // The terminal names ("ttyS0") the system writes its console to, from
    // /sys/class/tty/console/active and /proc/consoles.
    std::set<std::string> consoleNames() const;

private:
    SearchCandidate judge(const std::string& devicePath, const std::string& shownName) const;
    std::optional<FilledText> reasonToSkip(const std::string& devicePath) const;
    // Each system's own (search_candidates_posix.cpp, _win32.cpp): whether the device is
    // there to be opened, and why this user may not open it, when the system can tell
    // without opening it.
    bool presentOnThisMachine(const std::string& devicePath) const;
    std::optional<FilledText> refusedAccess(const std::string& devicePath) const;

    const PortScanner& scanner_;
    std::string lockFolder_;
    std::set<std::string> consoles_;
};

}  // namespace dravolin
