#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "core/message_catalog.h"

namespace dravolin {

class PortLock;

// A process that has a device: its id and its name as the system knows it.
struct DeviceHolder {
    pid_t pid = 0;
    std::string name;
};

// Why a device could not be opened, for the operator: a catalogue text with the words
// that fill it (the device first), so that each view words it in its own language.
struct OpenFailure {
    FilledText text;

    // In English, e.g. "/dev/ttyUSB0 does not exist: is the adapter plugged in?".
    std::string english() const { return MessageCatalog(Language::English).lookup(text); }
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
