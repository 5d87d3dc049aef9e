#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace dravolin {

class PortLock;

// A process that has a device: its id and its name as the system knows it.
struct DeviceHolder {
    pid_t pid = 0;
    std::string name;
};

// Why a device could not be opened, for the operator: a kind, each with its own sentence,
// and the words that fill it (the device first). text() is the sentence in English, e.g.
// "/dev/ttyUSB0 does not exist: is the adapter plugged in?".
struct OpenFailure {
    enum class Kind {
        NoDeviceForPort,             // (nothing)
        Missing,                     // device
        NoHardware,                  // device
        PermissionJoinGroup,         // device, group, user
        PermissionLogInAgain,        // device, group
        PermissionAskAdministrator,  // device, group
        BusyWithHolder,              // device, program, pid
        Busy,                        // device
        LockCannotBeRemoved,         // device, the system's reason
        LockNamesNobody,             // device, lock file
        NotSerial,                   // device
        Other,                       // device, the system's text
    };

    Kind kind = Kind::Other;
    std::vector<std::string> arguments;

    // The English sentence of a kind, with %1, %2, ... for its arguments.
    static const char* sentence(Kind kind);
    std::string text() const;
};

// Who holds a device: the owner named by its lock file in `lockFolder`, else the first
// process found with the device among its open files. Nothing when neither tells.
std::optional<DeviceHolder> findDeviceHolder(const std::string& devicePath,
                                             const std::string& lockFolder);

// Why opening `devicePath` failed with the error `code`.
OpenFailure describeOpenFailure(const std::string& devicePath, int code,
                                const std::string& lockFolder);

// Why another program's lock file keeps us from the device.
OpenFailure describeLockedDevice(const std::string& devicePath, const std::string& lockFolder,
                                 const PortLock& lock);

}  // namespace dravolin
