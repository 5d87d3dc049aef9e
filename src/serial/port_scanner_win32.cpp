#include "serial/port_scanner.h"

#include <windows.h>

#include <setupapi.h>  // after windows.h, which it needs

#include <algorithm>
#include <set>

#include "protocol/wide_text.h"

// The Windows twin of the scanner: the COM ports of the Ports device class, as Device
// Manager lists them (friendly name, maker, USB vendor and product, serial number), and
// the ports only the registry's SERIALCOMM map names (drivers that register no device).

namespace dravolin {

namespace fs = std::filesystem;

namespace {

// The Ports (COM & LPT) device class.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

constexpr std::string_view kDevicePrefix = "\\\\.\\";

// A string of up to `size` wide characters that may or may not end with a zero.
std::wstring trimmed(const wchar_t* text, std::size_t size) {
    std::wstring value(text, size);
    const std::size_t zero = value.find(L'\0');
    return zero == std::wstring::npos ? value : value.substr(0, zero);
}

std::wstring deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& info, DWORD property) {
    wchar_t buffer[512] = {};
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &info, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                           &size)) {
        return {};
    }
    return trimmed(buffer, size / sizeof(wchar_t));
}

std::wstring portNameOf(HDEVINFO set, SP_DEVINFO_DATA& info) {
    const HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer - 2;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    return trimmed(buffer, size / sizeof(wchar_t));
}

// "VID_0403" in a hardware id gives "0403"; empty when the id has no such part.
std::string hexAfter(const std::string& id, const std::string& key) {
    const std::size_t at = id.find(key);
    if (at == std::string::npos || id.size() < at + key.size() + 4) {
        return {};
    }
    std::string digits = id.substr(at + key.size(), 4);
    std::transform(digits.begin(), digits.end(), digits.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return digits;
}

// The serial number a USB device gave Windows: the last part of its instance id, unless
// Windows made that part up itself (it then holds '&').
std::string serialNumberOf(HDEVINFO set, SP_DEVINFO_DATA& info) {
    wchar_t buffer[256] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &info, buffer, 255, nullptr)) {
        return {};
    }
    std::string id = narrowed(buffer);
    if (id.starts_with("FTDIBUS\\")) {  // FTDIBUS\VID_0403+PID_6001+A12345BA\0000
        const std::size_t last = id.rfind('+');
        const std::size_t end = id.find('\\', last == std::string::npos ? 0 : last);
        return last == std::string::npos ? std::string() : id.substr(last + 1, end - last - 1);
    }
    if (!id.starts_with("USB\\")) {
        return {};
    }
    const std::string last = id.substr(id.rfind('\\') + 1);
    return last.find('&') == std::string::npos ? last : std::string();
}

int comNumber(const std::string& name) {
    int number = 0;
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) {
        return 0;
    }
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 100000) {
            return 0;
        }
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

SerialDevice deviceFor(const std::string& portName) {
    SerialDevice device;
    device.path = std::string(kDevicePrefix) + portName;
    return device;
}

void addClassDevices(std::vector<SerialDevice>& devices) {
    const HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &info); ++index) {
        const std::string portName = narrowed(portNameOf(set, info));
        if (comNumber(portName) == 0) {
            continue;  // a printer port of the same class
        }
        SerialDevice device = deviceFor(portName);
        device.friendlyName = narrowed(deviceProperty(set, info, SPDRP_FRIENDLYNAME));
        device.driver = narrowed(deviceProperty(set, info, SPDRP_SERVICE));
        const std::string hardwareId = narrowed(deviceProperty(set, info, SPDRP_HARDWAREID));
        device.usb = hardwareId.starts_with("USB\\") || hardwareId.starts_with("FTDIBUS\\");
        if (device.usb) {
            device.maker = narrowed(deviceProperty(set, info, SPDRP_MFG));
            device.product = narrowed(deviceProperty(set, info, SPDRP_DEVICEDESC));
            device.serialNumber = serialNumberOf(set, info);
            const std::string vendor = hexAfter(hardwareId, "VID_");
            const std::string product = hexAfter(hardwareId, "PID_");
            if (!vendor.empty() && !product.empty()) {
                device.usbId = vendor + ":" + product;
            }
        }
        devices.push_back(std::move(device));
    }
    SetupDiDestroyDeviceInfoList(set);
}

// Ports that only the SERIALCOMM map names: value data "COM3" for each port a driver made.
void addRegistryPorts(std::vector<SerialDevice>& devices) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    std::set<std::string> known;
    for (const SerialDevice& device : devices) {
        known.insert(device.path);
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD nameSize = 255;
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - 2;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        const std::string portName = narrowed(trimmed(data, dataSize / sizeof(wchar_t)));
        SerialDevice device = deviceFor(portName);
        if (comNumber(portName) == 0 || known.count(device.path) != 0) {
            continue;
        }
        device.driver = narrowed(trimmed(name, nameSize));  // "\Device\Serial0"
        known.insert(device.path);
        devices.push_back(std::move(device));
    }
    RegCloseKey(key);
}

std::string portNameOfPath(const std::string& devicePath) {
    return devicePath.starts_with(kDevicePrefix) ? devicePath.substr(kDevicePrefix.size())
                                                 : devicePath;
}

}  // namespace

std::string SerialDevice::shownName() const {
    return friendlyName.empty() ? portNameOfPath(path) : friendlyName;
}

std::string SerialDevice::description(Language language) const {
    const MessageCatalog catalog(language);
    std::string text;
    if (!usb) {
        text = friendlyName.empty() ? catalog.lookup(TextId::BuiltInPort) : friendlyName;
        return driver.empty() ? text : text + " (" + driver + ")";
    }
    text = maker;
    if (!product.empty()) {
        text = product.starts_with(maker) || maker.empty() ? product : maker + " " + product;
    }
    if (text.empty()) {
        text = catalog.lookup(FilledText{TextId::UsbSerialDevice, {""}});
    }
    if (!usbId.empty()) {
        text += " [" + usbId + "]";
    }
    if (!serialNumber.empty()) {
        text = catalog.lookup(FilledText{TextId::UsbSerialNumber, {text, serialNumber}});
    }
    return text;
}

PortScanner::PortScanner(fs::path root) : root_(std::move(root)) {}

std::vector<SerialDevice> PortScanner::scan() const {
    std::vector<SerialDevice> devices;
    addClassDevices(devices);
    addRegistryPorts(devices);
    std::stable_sort(
        devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
            return comNumber(portNameOfPath(a.path)) < comNumber(portNameOfPath(b.path));
        });
    return devices;
}

bool PortScanner::exists(const std::string& devicePath) const {
    const std::string portName = portNameOfPath(devicePath);
    if (comNumber(portName) > 0) {
        wchar_t target[512];
        return QueryDosDeviceW(widened(portName).c_str(), target, 512) != 0;
    }
    return GetFileAttributesW(widened(devicePath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string PortScanner::resolve(const std::string& devicePath) const {
    // "COM5" and "\\.\COM5" are one port.
    return comNumber(devicePath) > 0 ? std::string(kDevicePrefix) + devicePath : devicePath;
}

}  // namespace dravolin
