#include "exchange/search_candidates.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "protocol/path_text.h"
#include "serial/open_failure_cause.h"
#include "serial/port_lock.h"

namespace dravolin {

namespace {

// "/dev/ttyS0" -> "ttyS0", "/dev/pts/3" -> "pts/3": the form the console lists use.
std::string terminalName(const std::string& devicePath) {
    constexpr std::string_view kDev = "/dev/";
    return devicePath.starts_with(kDev) ? devicePath.substr(kDev.size()) : devicePath;
}

// The device node a path that is opened leads to, links followed; the path itself when it
// leads nowhere.
std::string deviceOnThisMachine(const std::string& devicePath) {
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, error);
    return error ? devicePath : device.string();
}

}  // namespace

SearchCandidates::SearchCandidates(const PortScanner& scanner, std::string lockFolder)
    : scanner_(scanner), lockFolder_(std::move(lockFolder)), consoles_(consoleNames()) {}

std::set<std::string> SearchCandidates::consoleNames() const {
    std::set<std::string> names;
    // One line of names: "tty0 ttyS0".
    std::ifstream active(scanner_.root() / "sys/class/tty/console/active");
    std::string name;
    while (active >> name) {
        names.insert(name);
    }
    // One console a line, its name first: "ttyS0   -W- (EC p a)  4:64".
    std::ifstream consoles(scanner_.root() / "proc/consoles");
    std::string line;
    while (std::getline(consoles, line)) {
        std::istringstream words(line);
        if (words >> name) {
            names.insert(name);
        }
    }
    return names;
}

std::vector<SearchCandidate> SearchCandidates::discovered(
    const std::vector<std::string>& chosen) const {
    std::vector<SearchCandidate> usb;
    std::vector<SearchCandidate> builtIn;
    std::set<std::string> listed;
    for (const SerialDevice& device : scanner_.scan()) {
        listed.insert(device.path);
        if (device.probablyAbsent) {
            continue;  // no UART behind it: nothing could answer there
        }
        (device.usb ? usb : builtIn).push_back(judge(device.path, device.shownName()));
    }
    for (const std::string& path : chosen) {
        const std::string device = deviceOnThisMachine(path);
        if (presentOnThisMachine(path) && !listed.contains(scanner_.resolve(path)) &&
            !listed.contains(device)) {
            listed.insert(device);
            usb.push_back(judge(path, path));
        }
    }
    usb.insert(usb.end(), builtIn.begin(), builtIn.end());
    return usb;
}

std::vector<SearchCandidate> SearchCandidates::named(
    const std::vector<std::string>& devicePaths) const {
    std::vector<SearchCandidate> candidates;
    for (const std::string& path : devicePaths) {
        candidates.push_back(judge(path, path));
    }
    return candidates;
}

SearchCandidate SearchCandidates::judge(const std::string& devicePath,
                                        const std::string& shownName) const {
    return SearchCandidate{devicePath, shownName, reasonToSkip(devicePath)};
}

std::optional<FilledText> SearchCandidates::reasonToSkip(const std::string& devicePath) const {
    // By the device the path leads to, so that no other name of the console gets through.
    for (const std::string& device :
         {scanner_.resolve(devicePath), deviceOnThisMachine(devicePath)}) {
        if (consoles_.contains(terminalName(device)) || device == "/dev/console") {
            return FilledText{TextId::FindSkippedConsole, {shownPath(devicePath)}};
        }
    }
    if (!presentOnThisMachine(devicePath)) {
        return FilledText{TextId::PortMissing, {shownPath(devicePath)}};
    }
    if (std::optional<FilledText> refused = refusedAccess(devicePath)) {
        return refused;
    }
    // Taking the lock and giving it back at once: another program's lock is honoured, and
    // one whose program has ended is cleared, as every exchange does.
    PortLock lock;
    if (lock.acquire(lockFolder_, devicePath) == PortLock::Outcome::HeldByOther) {
        return describeLockedDevice(devicePath, lockFolder_, lock).text;
    }
    return std::nullopt;
}

}  // namespace dravolin
