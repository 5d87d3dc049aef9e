#include "serial/open_failure_cause.h"

#include <cerrno>
#include <utility>

#include "serial/open_failure_common.h"
#include "serial/port_lock.h"

// Why a COM port could not be opened on Windows, from the errno value the comm layer gave
// the Win32 error: the same catalogue as on Linux. There is no group to join, and a busy
// port's holder cannot be found without administrator rights, so busy names no program.

namespace dravolin {

namespace {

OpenFailure failure(TextId text, std::vector<std::string> words) {
    return shownOpenFailure(text, std::move(words), shownWindowsText);
}

}  // namespace

std::optional<DeviceHolder> findDeviceHolder(const std::string&, const std::string&) {
    return std::nullopt;
}

OpenFailure describeOpenFailure(const std::string& devicePath, int code, const std::string&) {
    if (!devicePath.empty() && (code == EBUSY || code == EACCES)) {
        return failure(TextId::PortBusy, {devicePath});  // ERROR_ACCESS_DENIED
    }
    FilledText common = commonOpenFailureText(devicePath, code);
    return failure(common.id, std::move(common.arguments));
}

OpenFailure describeLockedDevice(const std::string& devicePath, const std::string&,
                                 const PortLock&) {
    return failure(TextId::PortBusy, {devicePath});  // never asked: no lock files here
}

}  // namespace dravolin
