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

#include "serial/open_failure_common.h"
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
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) != 0) {
        return shownOpenFailure(TextId::PortPermissionAskAdministrator, {devicePath, "?"});
    }
    const std::string group = groupName(info.st_gid);
    // Joining the group helps only when the group may use the device, and only someone who
    // is not in it yet.
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) ||
        processHasGroup(info.st_gid)) {
        return shownOpenFailure(TextId::PortPermissionAskAdministrator, {devicePath, group});
    }
    if (userListedInGroup(info.st_gid)) {
        return shownOpenFailure(TextId::PortPermissionLogInAgain, {devicePath, group});
    }
    return shownOpenFailure(TextId::PortPermissionJoinGroup, {devicePath, group, userName()});
}

}  // namespace

std::optional<DeviceHolder> findDeviceHolder(const std::string& devicePath,
                                             const std::string& lockFolder) {
    if (auto holder = holderFromLockFile(devicePath, lockFolder)) {
        return holder;
    }
    return holderFromOpenFiles(devicePath);
}

OpenFailure describeOpenFailure(const std::string& devicePath, int code,
                                const std::string& lockFolder) {
    if (!devicePath.empty() && (code == EACCES || code == EPERM)) {
        return permissionFailure(devicePath);
    }
    if (!devicePath.empty() && code == EBUSY) {
        if (const auto holder = findDeviceHolder(devicePath, lockFolder)) {
            return shownOpenFailure(TextId::PortBusyWithHolder,
                                    {devicePath, holder->name.empty() ? "?" : holder->name,
                                     std::to_string(holder->pid)});
        }
        return shownOpenFailure(TextId::PortBusy, {devicePath});
    }
    FilledText common = commonOpenFailureText(devicePath, code);
    return shownOpenFailure(common.id, std::move(common.arguments));
}

OpenFailure describeLockedDevice(const std::string& devicePath, const std::string& lockFolder,
                                 const PortLock& lock) {
    if (!lock.problem().empty()) {
        return shownOpenFailure(TextId::PortLockCannotBeRemoved, {devicePath, lock.problem()});
    }
    if (lock.holderPid() > 0) {
        const std::string name = processName(lock.holderPid());
        return shownOpenFailure(TextId::PortBusyWithHolder, {devicePath, name.empty() ? "?" : name,
                                                             std::to_string(lock.holderPid())});
    }
    return shownOpenFailure(TextId::PortLockNamesNobody,
                            {devicePath, lockFolder + "/" + PortLock::lockFileName(devicePath)});
}

}  // namespace dravolin
