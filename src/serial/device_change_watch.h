#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include <QObject>

namespace dravolin {

// Calls `onChange` from the event loop of the thread that made it whenever serial devices
// may have come or gone, as the system tells it (no polling). On Linux that is the device
// folders under `root` changing (/dev, and the folders of stable names that udev makes a
// moment after a device appears); on Windows the device-change message the system sends
// every top-level window, heard by a hidden window of its own
// (device_change_watch_win32.cpp).
class DeviceChangeWatch {
public:
    DeviceChangeWatch(const std::filesystem::path& root, std::function<void()> onChange);
    ~DeviceChangeWatch();
    DeviceChangeWatch(const DeviceChangeWatch&) = delete;
    DeviceChangeWatch& operator=(const DeviceChangeWatch&) = delete;

    // Watches the folders that have appeared since (the stable names' folders come with
    // the first adapter). Nothing to do where the system tells of every change anyway.
    void followNewFolders();

private:
    std::filesystem::path root_;
    std::unique_ptr<QObject> watcher_;
};

}  // namespace dravolin
