#include "serial/port_lock.h"

#include <windows.h>

#include "protocol/wide_text.h"

// Windows has no UUCP lock files, and opens a COM port exclusively by itself; wine does not,
// and our own programs should not depend on it. While a port is open the program holds a
// named mutex for it, and another of our programs that finds the mutex there leaves the port
// alone and says it is busy. The mutex goes with the last handle to it, so a program that
// ends, however it ends, lets go of the port.

namespace dravolin {

namespace {

// One name for every way of naming a port: "\\.\COM7", "COM7" and "\\.\com7" alike.
std::wstring mutexNameFor(const std::string& devicePath) {
    const std::size_t separator = devicePath.find_last_of("\\/");
    std::string port =
        separator == std::string::npos ? devicePath : devicePath.substr(separator + 1);
    for (char& c : port) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    // Global: a program in another session (another user's) keeps off the port too.
    return widened("Global\\dravolin-port-" + port);
}

}  // namespace

PortLock::~PortLock() {
    release();
}

std::string PortLock::defaultFolder() {
    return {};
}

std::string PortLock::lockFileName(const std::string&) {
    return {};
}

PortLock::Outcome PortLock::acquire(const std::string&, const std::string& devicePath) {
    release();
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexNameFor(devicePath).c_str());
    const DWORD code = GetLastError();
    if (mutex == nullptr) {
        // Made by a program of another user, whose mutex we may not open.
        if (code == ERROR_ACCESS_DENIED) {
            return Outcome::HeldByOther;
        }
        problem_ = windowsErrorText(code);
        return Outcome::NotPossible;
    }
    if (code == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Outcome::HeldByOther;
    }
    mutex_ = mutex;
    path_ = devicePath;
    return Outcome::Taken;
}

void PortLock::release() {
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
        mutex_ = nullptr;
    }
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
