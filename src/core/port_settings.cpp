#include "core/port_settings.h"

#include <cstdio>

namespace dravolin {

std::string portNameFor(int port) {
    char name[50];
    std::snprintf(name, sizeof name, "COM%d", port);
    return name;
}

std::string PortSettings::portName() const {
    return portNameFor(port);
}

}  // namespace dravolin
