#include "cli/port_listing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <set>

#include "protocol/path_text.h"

namespace dravolin {

namespace {

// The Com ports offered everywhere; any other one counts only when it is mapped.
constexpr int kOfferedPorts = 4;

std::set<int> portsToShow(const PortMap& portMap) {
    std::set<int> ports;
    for (int port = 1; port <= kOfferedPorts; ++port) {
        ports.insert(port);
    }
    for (const auto& [port, path] : portMap.mappings()) {
        ports.insert(port);
    }
    return ports;
}

// Device paths may hold anything too; what a device says of itself comes from the scanner
// already in its shown form. A tab would split the line's fields.
std::string orDash(const std::string& text, bool shown = false) {
    return text.empty() ? "-" : shown ? text : shownPath(text);
}

// JSON escapes C0 controls but lets DEL and the C1 controls through as they are.
std::string withControlsEscaped(const std::string& json) {
    std::string escaped;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const auto byte = static_cast<unsigned char>(json[i]);
        const auto next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0;
        char code[7];
        if (byte == 0x7f) {
            escaped += "\\u007f";
        } else if (byte == 0xc2 && next >= 0x80 && next <= 0x9f) {
            std::snprintf(code, sizeof code, "\\u%04x", next);
            escaped += code;
            ++i;
        } else {
            escaped.push_back(json[i]);
        }
    }
    return escaped;
}

}  // namespace

std::vector<PortListingEntry> listPorts(const PortScanner& scanner, const PortMap& portMap) {
    std::vector<PortListingEntry> entries;
    for (SerialDevice& device : scanner.scan()) {
        const std::string description = device.description();
        entries.push_back({std::move(device), description, {}, true, true});
    }
    for (const int port : portsToShow(portMap)) {
        const std::string path = portMap.devicePath(port);
        const std::string resolved = scanner.resolve(path);
        auto found = std::find_if(entries.begin(), entries.end(), [&](const PortListingEntry& e) {
            return e.device.path == resolved || e.device.path == path;
        });
        if (found == entries.end()) {
            // Only a mapping the operator made is worth a line when the scan missed it.
            if (portMap.mappings().count(port) == 0) {
                continue;
            }
            SerialDevice mapped;
            mapped.path = path;
            const bool present = scanner.exists(path);
            std::string description = "missing";
            if (present) {
                description = resolved.starts_with("/dev/pts/")
                                  ? "pseudo-terminal"
                                  : "not among the serial devices the system lists";
            }
            entries.push_back({mapped, description, {}, false, present});
            found = entries.end() - 1;
        }
        found->coms.push_back(port);
    }
    return entries;
}

std::string portsAsText(const std::vector<PortListingEntry>& entries) {
    std::string text;
    for (const PortListingEntry& entry : entries) {
        std::string coms;
        for (const int port : entry.coms) {
            coms += (coms.empty() ? "COM" : ",COM") + std::to_string(port);
        }
        text += orDash(entry.device.path) + "\t" + orDash(entry.device.byIdPath) + "\t" +
                orDash(entry.description, true) + "\t" + (coms.empty() ? "-" : coms) + "\n";
    }
    return text;
}

std::string portsAsJson(const std::vector<PortListingEntry>& entries) {
    QJsonArray array;
    for (const PortListingEntry& entry : entries) {
        const SerialDevice& device = entry.device;
        QJsonArray coms;
        for (const int port : entry.coms) {
            coms.append(port);
        }
        QJsonObject object{
            {"path", QString::fromStdString(device.path)},
            {"byId",
             device.byIdPath.empty() ? QJsonValue() : QString::fromStdString(device.byIdPath)},
            {"description", QString::fromStdString(entry.description)},
            {"driver", QString::fromStdString(device.driver)},
            {"usb", device.usb},
            {"probablyAbsent", device.probablyAbsent},
            {"listed", entry.listed},
            {"present", entry.present},
            {"coms", coms},
        };
        if (device.usb) {
            object.insert("maker", QString::fromStdString(device.maker));
            object.insert("product", QString::fromStdString(device.product));
            object.insert("serialNumber", QString::fromStdString(device.serialNumber));
            object.insert("usbId", QString::fromStdString(device.usbId));
        }
        array.append(object);
    }
    return withControlsEscaped(QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString());
}

}  // namespace dravolin
