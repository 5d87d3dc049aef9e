#pragma once

#include <string>
#include <vector>

#include "serial/port_map.h"
#include "serial/port_scanner.h"

namespace dravolin {

// What `dravolin-cli ports` prints: the serial devices found, and the devices Com ports are
// mapped to that the scan does not list (a pseudo-terminal, an adapter that is unplugged).
struct PortListingEntry {
    SerialDevice device;
    std::string description;
    std::vector<int> coms;  // the Com ports that stand for it
    bool listed = true;     // found by the scan
    bool present = true;    // there now
};

std::vector<PortListingEntry> listPorts(const PortScanner& scanner, const PortMap& portMap);

// One device a line: path, stable name, description and Com ports, separated by tabs,
// "-" where there is nothing to say.
std::string portsAsText(const std::vector<PortListingEntry>& entries);

// The same as a JSON array of objects, for scripts.
std::string portsAsJson(const std::vector<PortListingEntry>& entries);

}  // namespace dravolin
