#include "serial/open_failure_cause.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "serial/port_lock.h"

namespace dravolin {

namespace fs = std::filesystem;

namespace {

std::string processName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string realPath(const std::string& path) {
    std::string real = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        real = resolved;
        std::free(resolved);
    }
    return real;
}

bool isProcessId(const std::string& name) {
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

std::optional<DeviceHolder> holderFromLockFile(const std::string& devicePath,
                                               const std::string& lockFolder) {
    const pid_t pid = PortLock::readHolder(lockFolder + "/" + PortLock::lockFileName(devicePath));
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) {
        return std::nullopt;
    }
    return DeviceHolder{pid, processName(pid)};
}

// Every process's open files, as far as we may look at them.
std::optional<DeviceHolder> holderFromOpenFiles(const std::string& devicePath) {
    const fs::path device = realPath(devicePath);
    std::error_code error;
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string id = process->path().filename().string();
        if (!isProcessId(id)) {
            continue;
        }
        std::error_code fdError;
        for (fs::directory_iterator fd(process->path() / "fd", fdError), fdEnd;
             !fdError && fd != fdEnd; fd.increment(fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd->path(), linkError) == device && !linkError) {
                const auto pid = static_cast<pid_t>(std::stol(id));
                return DeviceHolder{pid, processName(pid)};
            }
        }
    }
    return std::nullopt;
}

std::string groupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid)) {
        return entry->gr_name;
    }
    return std::to_string(gid);
}

std::string userName() {
    if (const passwd* entry = ::getpwuid(::geteuid())) {
        return entry->pw_name;
    }
    return "$USER";
}

// Whether this process already has the group's rights (it may have been added to the
// group after it logged in).
bool processHasGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count > 0 && ::getgroups(count, groups.data()) == count) {
        for (gid_t member : groups) {
            if (member == gid) {
                return true;
            }
        }
    }
    return false;
}

// Whether the user is listed in the group, whatever this process has.
bool userListedInGroup(gid_t gid) {
    const passwd* user = ::getpwuid(::geteuid());
    if (user == nullptr) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (groups[static_cast<std::size_t>(i)] == gid) {
            return true;
        }
    }
    return false;
}

OpenFailure permissionFailure(const std::string& devicePath) {
    using Kind = OpenFailure::Kind;
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) != 0) {
        return {Kind::PermissionAskAdministrator, {devicePath, "?"}};
    }
    const std::string group = groupName(info.st_gid);
    // Joining the group helps only when the group may use the device, and only someone who
    // is not in it yet.
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) ||
        processHasGroup(info.st_gid)) {
        return {Kind::PermissionAskAdministrator, {devicePath, group}};
    }
    if (userListedInGroup(info.st_gid)) {
        return {Kind::PermissionLogInAgain, {devicePath, group}};
    }
    return {Kind::PermissionJoinGroup, {devicePath, group, userName()}};
}

}  // namespace

const char* OpenFailure::sentence(Kind kind) {
    switch (kind) {
        case Kind::NoDeviceForPort:
            return "no device stands for this port";
        case Kind::Missing:
            return "%1 does not exist: is the adapter plugged in?";
        case Kind::NoHardware:
            return "%1 has no device behind it: is the adapter plugged in?";
        case Kind::PermissionJoinGroup:
            return "permission denied on %1 (group %2): join it with 'sudo usermod -aG %2 %3', "
                   "then log out and in again";
        case Kind::PermissionLogInAgain:
            return "permission denied on %1 (group %2): you were added to the group after "
                   "logging in; log out and in again";
        case Kind::PermissionAskAdministrator:
            return "permission denied on %1 (group %2): ask the administrator to let you use it";
        case Kind::BusyWithHolder:
            return "%1 is busy: in use by %2 (pid %3)";
        case Kind::Busy:
            return "%1 is busy: another program has it open";
        case Kind::LockCannotBeRemoved:
            return "%1 is locked by a program that has ended, and its lock cannot be removed (%2)";
        case Kind::LockNamesNobody:
            return "%1 is locked by %2, which names no running program";
        case Kind::NotSerial:
            return "%1 is not a serial device";
        case Kind::Other:
            return "%1: %2";
    }
    return "%1";
}

std::string OpenFailure::text() const {
    // Each %N in one pass, so that an argument is never read for placeholders.
    const std::string pattern = sentence(kind);
    std::string filled;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < arguments.size()) {
            filled += arguments[index];
            ++i;
        } else {
            filled += pattern[i];
        }
    }
    return filled;
}

std::optional<DeviceHolder> findDeviceHolder(const std::string& devicePath,
                                             const std::string& lockFolder) {
    if (auto holder = holderFromLockFile(devicePath, lockFolder)) {
        return holder;
    }
    return holderFromOpenFiles(devicePath);
}

OpenFailure describeOpenFailure(const std::string& devicePath, int code,
                                const std::string& lockFolder) {
    using Kind = OpenFailure::Kind;
    if (devicePath.empty()) {
        return {Kind::NoDeviceForPort, {}};
    }
    switch (code) {
        case ENOENT:
            return {Kind::Missing, {devicePath}};
        case ENXIO:
        case ENODEV:
            return {Kind::NoHardware, {devicePath}};
        case EACCES:
        case EPERM:
            return permissionFailure(devicePath);
        case EBUSY:
            if (const auto holder = findDeviceHolder(devicePath, lockFolder)) {
                return {Kind::BusyWithHolder,
                        {devicePath, holder->name.empty() ? "another program" : holder->name,
                         std::to_string(holder->pid)}};
            }
            return {Kind::Busy, {devicePath}};
        case ENOTTY:
        case EISDIR:
            return {Kind::NotSerial, {devicePath}};
        default:
            return {Kind::Other, {devicePath, std::strerror(code)}};
    }
}

OpenFailure describeLockedDevice(const std::string& devicePath, const std::string& lockFolder,
                                 const PortLock& lock) {
    using Kind = OpenFailure::Kind;
    if (!lock.problem().empty()) {
        return {Kind::LockCannotBeRemoved, {devicePath, lock.problem()}};
    }
    if (lock.holderPid() > 0) {
        const std::string name = processName(lock.holderPid());
        return {Kind::BusyWithHolder,
                {devicePath, name.empty() ? "another program" : name,
                 std::to_string(lock.holderPid())}};
    }
    return {Kind::LockNamesNobody,
            {devicePath, lockFolder + "/" + PortLock::lockFileName(devicePath)}};
}

}  // namespace dravolin
