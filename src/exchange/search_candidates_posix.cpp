#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "exchange/search_candidates.h"
#include "serial/open_failure_cause.h"

// A device is a file: what is opened is the path on this machine, whatever the scanner's
// root, and its mode tells whether this user may open it.

namespace dravolin {

bool SearchCandidates::presentOnThisMachine(const std::string& devicePath) const {
    std::error_code error;
    return std::filesystem::exists(devicePath, error);
}

std::optional<FilledText> SearchCandidates::refusedAccess(const std::string& devicePath) const {
    if (::access(devicePath.c_str(), R_OK | W_OK) != 0) {
        return describeOpenFailure(devicePath, errno, lockFolder_).text;
    }
    return std::nullopt;
}

}  // namespace dravolin
