#include "serial/port_lock.h"

// Windows has no UUCP lock files: a COM port opens exclusively, and a port in use by
// another program fails to open with ERROR_ACCESS_DENIED. The lock is therefore always
// "taken" and holds nothing, so that nothing above needs to know.

namespace dravolin {

PortLock::~PortLock() {
    release();
}

std::string PortLock::defaultFolder() {
    return {};
}

std::string PortLock::lockFileName(const std::string&) {
    return {};
}

PortLock::Outcome PortLock::acquire(const std::string&, const std::string&) {
    release();
    return Outcome::Taken;
}

void PortLock::release() {
    path_.clear();
    holderPid_ = 0;
    problem_.clear();
}

pid_t PortLock::readHolder(const std::string&) {
    return 0;
}

pid_t PortLock::parseHolder(std::string_view) {
    return 0;
}

}  // namespace dravolin
