#include "serial/port_scanner.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <system_error>

#include "protocol/escaped_name.h"

namespace dravolin {

namespace fs = std::filesystem;

namespace {

// How far up from a tty's device the USB device that holds it can be: interface, port.
constexpr int kUsbSearchDepth = 4;

// The first line of a small sysfs file, without its line end and outer blanks.
std::string readAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    const auto notBlank = [](unsigned char c) { return !std::isspace(c); };
    line.erase(line.begin(), std::find_if(line.begin(), line.end(), notBlank));
    line.erase(std::find_if(line.rbegin(), line.rend(), notBlank).base(), line.end());
    return line;
}

// "0", "0x0" and nothing all say that no address was found.
bool isZeroAddress(const std::string& value) {
    if (value.empty()) {
        return true;
    }
    std::string digits = value;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        digits = digits.substr(2);
    }
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
}

// Orders "ttyS2" before "ttyS10": runs of digits compare by their value.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digitA && digitB) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) {
                ++endA;
            }
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) {
                ++endB;
            }
            const std::string numberA = a.substr(i, endA - i);
            const std::string numberB = b.substr(j, endB - j);
            if (numberA.size() != numberB.size()) {
                return numberA.size() < numberB.size();
            }
            if (numberA != numberB) {
                return numberA < numberB;
            }
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

int sortGroup(const SerialDevice& device) {
    if (device.probablyAbsent) {
        return 2;
    }
    return device.byIdPath.empty() ? 1 : 0;
}

}  // namespace

std::string SerialDevice::shownName() const {
    return byIdPath.empty() ? path : fs::path(byIdPath).filename().string();
}

std::string SerialDevice::description(Language language) const {
    const MessageCatalog catalog(language);
    // What a device says of itself may hold anything, escape sequences too.
    const std::string shownMaker = shownText(maker);
    const std::string shownProduct = shownText(product);
    const std::string shownDriver = shownText(driver);
    std::string text;
    if (usb) {
        text = shownMaker;
        if (!product.empty()) {
            // Many devices repeat their maker at the start of the product name.
            text = product.starts_with(maker) || maker.empty() ? shownProduct
                                                               : shownMaker + " " + shownProduct;
        }
        if (text.empty()) {
            text = catalog.lookup(FilledText{TextId::UsbSerialDevice,
                                             {driver.empty() ? "" : " (" + shownDriver + ")"}});
        }
        if (!serialNumber.empty()) {
            text = catalog.lookup(
                FilledText{TextId::UsbSerialNumber, {text, shownText(serialNumber)}});
        }
        return text;
    }
    if (probablyAbsent) {
        return catalog.lookup(TextId::BuiltInPortAbsent);
    }
    text = catalog.lookup(TextId::BuiltInPort);
    if (!driver.empty() && driver != "port" && driver != "serial8250" && driver != "serial") {
        text = catalog.lookup(FilledText{TextId::SerialPortOfDriver, {shownDriver}});
    }
    return address.empty()
               ? text
               : catalog.lookup(FilledText{TextId::PortAtAddress, {text, shownText(address)}});
}

PortScanner::PortScanner(fs::path root) : root_(std::move(root)) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(root_, error);
    if (!error) {
        root_ = canonical;
    }
}

fs::path PortScanner::underRoot(const std::string& path) const {
    return root_ / fs::path(path).relative_path();
}

std::string PortScanner::fromRoot(const fs::path& path) const {
    const fs::path relative = path.lexically_relative(root_);
    if (relative.empty() || *relative.begin() == "..") {
        return {};
    }
    return (fs::path("/") / relative).string();
}

bool PortScanner::exists(const std::string& devicePath) const {
    if (devicePath.empty()) {
        return false;
    }
    std::error_code error;
    return fs::exists(underRoot(devicePath), error);
}

std::string PortScanner::resolve(const std::string& devicePath) const {
    std::error_code error;
    const fs::path target = fs::canonical(underRoot(devicePath), error);
    if (error) {
        return devicePath;
    }
    const std::string resolved = fromRoot(target);
    return resolved.empty() ? devicePath : resolved;
}

std::vector<SerialDevice> PortScanner::scan() const {
    std::vector<SerialDevice> devices;
    std::error_code error;
    const fs::path dev = root_ / "dev";
    for (fs::directory_iterator entry(dev, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code statusError;
        if (!name.starts_with("tty") || entry->is_directory(statusError)) {
            continue;
        }
        const fs::path deviceLink = root_ / "sys/class/tty" / name / "device";
        // Virtual consoles and the controlling terminal have no driver behind them.
        if (!fs::exists(deviceLink, statusError)) {
            continue;
        }
        SerialDevice device;
        device.path = "/dev/" + name;
        readSysfs(name, device);
        devices.push_back(std::move(device));
    }
    attachByIdNames(devices);
    std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
        const int groupA = sortGroup(a);
        const int groupB = sortGroup(b);
        if (groupA != groupB) {
            return groupA < groupB;
        }
        return naturalLess(a.shownName(), b.shownName());
    });
    return devices;
}

void PortScanner::readSysfs(const std::string& name, SerialDevice& device) const {
    const fs::path classDir = root_ / "sys/class/tty" / name;
    std::error_code error;
    const fs::path driverLink = fs::read_symlink(classDir / "device" / "driver", error);
    if (!error) {
        device.driver = driverLink.filename().string();
    }
    const fs::path sysDevice = fs::canonical(classDir / "device", error);
    if (!error) {
        readUsbDetails(sysDevice, device);
    }
    // A built-in port the kernel reserves whether or not a UART answers there: type 0
    // ("unknown") or no address at all says nothing was found.
    if (!device.usb && fs::exists(classDir / "type", error)) {
        const std::string type = readAttribute(classDir / "type");
        const std::string ioPort = readAttribute(classDir / "port");
        const std::string memory = readAttribute(classDir / "iomem_base");
        if (!isZeroAddress(ioPort)) {
            device.address = "I/O " + ioPort;
        } else if (!isZeroAddress(memory)) {
            device.address = "memory " + memory;
        }
        device.probablyAbsent = type == "0" || device.address.empty();
    }
}

void PortScanner::readUsbDetails(const fs::path& sysDevice, SerialDevice& device) const {
    const fs::path sysRoot = root_ / "sys";
    fs::path candidate = sysDevice;
    for (int level = 0; level <= kUsbSearchDepth; ++level) {
        const std::string relative = fromRoot(candidate);
        if (relative.empty() || candidate == sysRoot || !candidate.has_parent_path()) {
            return;
        }
        std::error_code error;
        if (fs::exists(candidate / "idVendor", error)) {
            device.usb = true;
            device.maker = readAttribute(candidate / "manufacturer");
            device.product = readAttribute(candidate / "product");
            device.serialNumber = readAttribute(candidate / "serial");
            device.usbId = readAttribute(candidate / "idVendor") + ":" +
                           readAttribute(candidate / "idProduct");
            return;
        }
        candidate = candidate.parent_path();
    }
}

void PortScanner::attachByIdNames(std::vector<SerialDevice>& devices) const {
    std::vector<fs::path> links;
    std::error_code error;
    for (fs::directory_iterator entry(root_ / "dev/serial/by-id", error), end;
         !error && entry != end; entry.increment(error)) {
        links.push_back(entry->path());
    }
    std::sort(links.begin(), links.end());
    for (const fs::path& link : links) {
        const std::string byId = "/dev/serial/by-id/" + link.filename().string();
        const std::string target = resolve(byId);
        for (SerialDevice& device : devices) {
            if (device.path == target && device.byIdPath.empty()) {
                device.byIdPath = byId;
            }
        }
    }
}

}  // namespace dravolin
