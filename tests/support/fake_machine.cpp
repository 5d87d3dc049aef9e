#include "support/fake_machine.h"

#include <fstream>

namespace dravolin::test {

namespace fs = std::filesystem;

FakeMachine::FakeMachine() {
    fs::create_directories(root() / "dev");
    fs::create_directories(root() / "sys/class/tty");
    fs::create_directories(root() / "sys/bus/usb-serial/drivers");
    fs::create_directories(root() / "sys/bus/usb/drivers");
    fs::create_directories(root() / "sys/bus/platform/drivers/serial8250");
}

void FakeMachine::link(const fs::path& target, const fs::path& linkPath) const {
    fs::create_directories(linkPath.parent_path());
    fs::remove(linkPath);  // one left behind by an unplugging
    fs::create_symlink(fs::relative(target, linkPath.parent_path()), linkPath);
}

void FakeMachine::write(const fs::path& file, const std::string& content) const {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << content << '\n';
}

void FakeMachine::addDeviceNode(const std::string& name) const {
    write(root() / "dev" / name, "");
}

void FakeMachine::addUsb(const Usb& device) {
    const int bus = nextBus_++;
    const fs::path usbDevice = root() / "sys/devices/pci0000:00/0000:00:14.0" /
                               ("usb" + std::to_string(bus)) / (std::to_string(bus) + "-1");
    write(usbDevice / "idVendor", "f00d");
    write(usbDevice / "idProduct", "0001");
    if (!device.maker.empty()) {
        write(usbDevice / "manufacturer", device.maker);
    }
    if (!device.product.empty()) {
        write(usbDevice / "product", device.product);
    }
    if (!device.serialNumber.empty()) {
        write(usbDevice / "serial", device.serialNumber);
    }
    const fs::path interface = usbDevice / (std::to_string(bus) + "-1:1.0");
    fs::create_directories(interface);
    // A modem-class tty belongs to the interface; a usb-serial one to a port below it.
    const fs::path ttyDevice = device.acm ? interface : interface / device.name;
    fs::create_directories(ttyDevice);
    const fs::path drivers =
        root() / (device.acm ? "sys/bus/usb/drivers" : "sys/bus/usb-serial/drivers");
    fs::create_directories(drivers / device.driver);
    link(drivers / device.driver, ttyDevice / "driver");
    link(ttyDevice, root() / "sys/class/tty" / device.name / "device");
    addDeviceNode(device.name);
    if (!device.byId.empty()) {
        link(root() / "dev" / device.name, root() / "dev/serial/by-id" / device.byId);
    }
}

void FakeMachine::addBuiltInPort(const std::string& name, const std::string& type,
                                 const std::string& port, const std::string& iomemBase) {
    const fs::path platformDevice = root() / "sys/devices/platform/serial8250" / name;
    fs::create_directories(platformDevice);
    link(root() / "sys/bus/platform/drivers/serial8250", platformDevice / "driver");
    const fs::path classDir = root() / "sys/class/tty" / name;
    link(platformDevice, classDir / "device");
    write(classDir / "type", type);
    write(classDir / "port", port);
    write(classDir / "iomem_base", iomemBase);
    addDeviceNode(name);
}

void FakeMachine::addVirtualTerminal(const std::string& name) {
    fs::create_directories(root() / "sys/class/tty" / name);
    addDeviceNode(name);
}

void FakeMachine::unplug(const std::string& name, const std::string& byId) {
    fs::remove(root() / "dev" / name);
    if (!byId.empty()) {
        fs::remove(root() / "dev/serial/by-id" / byId);
    }
    fs::remove_all(root() / "sys/class/tty" / name);
}

}  // namespace dravolin::test
