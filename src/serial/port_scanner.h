#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/message_catalog.h"

namespace dravolin {

// One serial device found on the machine.
struct SerialDevice {
    std::string path;      // "/dev/ttyUSB0"
    std::string byIdPath;  // "/dev/serial/by-id/usb-..."; empty when there is none
    std::string driver;    // the kernel driver behind it, e.g. "cdc_acm"
    bool usb = false;      // a USB adapter or modem
    std::string maker;     // USB only: what the device says of itself
    std::string product;
    std::string serialNumber;
    std::string usbId;            // USB only: vendor and product id, "0403:6001"
    std::string address;          // a built-in port's: "I/O 0x3F8", "memory 0xFE215040"
    bool probablyAbsent = false;  // a built-in port whose UART the kernel did not find
    std::string friendlyName;     // Windows: "USB Serial Port (COM5)", as Device Manager shows it

    // The name an operator recognises: the by-id name when there is one, else the path.
    std::string shownName() const;
    // One line saying what it is, e.g. "Korvane KV-10 USB serial, serial number K1".
    std::string description(Language language = Language::English) const;
};

// Finds the serial devices present: every /dev/tty* with a driver behind it in
// /sys/class/tty/NAME/device. Everything is read below a root folder, "/" normally, so
// that a copy of the /dev and /sys trees can stand in for the machine.
class PortScanner {
public:
    explicit PortScanner(std::filesystem::path root = "/");

    const std::filesystem::path& root() const { return root_; }

    // Stable names first (adapters with a by-id name), then the others in the order of
    // their names (ttyS2 before ttyS10); ports that are probably absent come last.
    std::vector<SerialDevice> scan() const;

    // Whether a device path names something that is there now (a link that leads nowhere
    // is not).
    bool exists(const std::string& devicePath) const;

    // The device a path stands for, with links followed: a by-id name gives "/dev/ttyUSB0".
    // The path as given when it cannot be followed.
    std::string resolve(const std::string& devicePath) const;

private:
    std::filesystem::path underRoot(const std::string& path) const;
    std::string fromRoot(const std::filesystem::path& path) const;
    void readSysfs(const std::string& name, SerialDevice& device) const;
    void readUsbDetails(const std::filesystem::path& sysDevice, SerialDevice& device) const;
    void attachByIdNames(std::vector<SerialDevice>& devices) const;

    std::filesystem::path root_;
};

}  // namespace dravolin
