#include "exchange/search_candidates.h"

// The Windows twin: a COM port is no file ("\\.\COM1" is never found among files); the
// system's table of devices knows it. Whether this user may open it only an opening tells,
// and a try that cannot open the port ends at once with the reason.

namespace dravolin {

bool SearchCandidates::presentOnThisMachine(const std::string& devicePath) const {
    return scanner_.exists(devicePath);
}

std::optional<FilledText> SearchCandidates::refusedAccess(const std::string&) const {
    return std::nullopt;
}

}  // namespace dravolin
