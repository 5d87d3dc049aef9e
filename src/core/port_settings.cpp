#include "core/port_settings.h"

#include <cstdio>

namespace dravolin {

std::string portNameFor(int port) {
    char name[50];
    std::snprintf(name, sizeof name, "COM%d", port);
    return name;
}

std::string settingsStringFor(int baudRate, char parity, int dataBits, int stopBits) {
    char settings[50];
    std::snprintf(settings, sizeof settings, "baud=%d parity=%c data=%d stop=%d", baudRate, parity,
                  dataBits, stopBits);
    return settings;
}

std::string PortSettings::portName() const {
    return portNameFor(port);
}

std::string PortSettings::settingsString() const {
    return settingsStringFor(baudRate, static_cast<char>(parity), dataBits, stopBits);
}

}  // namespace dravolin
