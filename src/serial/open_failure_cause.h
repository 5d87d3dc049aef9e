#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace dravolin {

class PortLock;

// A process that has a device: its id and its name as the system knows it.
struct DeviceHolder {
    pid_t pid = 0;
    std::string name;
};

// Who holds a device: the owner named by its lock file in `lockFolder`, else the first
// process found with the device among its open files. Nothing when neither tells.
std::optional<DeviceHolder> findDeviceHolder(const std::string& devicePath,
                                             const std::string& lockFolder);

// One line for the operator on why a device could not be opened with the error `code`,
// e.g. "/dev/ttyUSB0 does not exist: is the adapter plugged in?".
std::string openFailureCause(const std::string& devicePath, int code,
                             const std::string& lockFolder);

// The same line when another program's lock file keeps us from the device.
std::string lockedDeviceCause(const std::string& devicePath, const std::string& lockFolder,
                              const PortLock& lock);

}  // namespace dravolin
