#pragma once

#include <filesystem>
#include <string>

#include "support/test_folder.h"

namespace dravolin::test {

// A copy of the parts of /dev and /sys that tell which serial devices a machine has, in a
// temporary folder, with links made as the kernel and udev make them (relative ones).
class FakeMachine {
public:
    struct Usb {
        std::string name;    // "ttyUSB0"
        std::string byId{};  // name under /dev/serial/by-id; empty for none
        std::string maker{};
        std::string product{};
        std::string serialNumber{};
        std::string driver = "korvane_serial";
        bool acm = false;  // a modem-class device: the tty hangs off the interface
    };

    FakeMachine();

    std::filesystem::path root() const { return folder_.path(); }

    void addUsb(const Usb& device);
    // A built-in port: `type` 0 is what the kernel reports when no UART answered.
    void addBuiltInPort(const std::string& name, const std::string& type, const std::string& port,
                        const std::string& iomemBase = "0x0");
    // A terminal without hardware behind it (a virtual console).
    void addVirtualTerminal(const std::string& name);
    // Everything udev and the kernel remove when a device is unplugged.
    void unplug(const std::string& name, const std::string& byId = {});

private:
    void link(const std::filesystem::path& target, const std::filesystem::path& linkPath) const;
    void write(const std::filesystem::path& file, const std::string& content) const;
    void addDeviceNode(const std::string& name) const;

    TestFolder folder_;
    int nextBus_ = 1;
};

}  // namespace dravolin::test
