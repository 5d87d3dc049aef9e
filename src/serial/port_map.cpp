#include "serial/port_map.h"

#include <utility>

#include "serial/platform/comm.h"

namespace dravolin {

void PortMap::map(int port, std::string devicePath) {
    mappings_[port] = std::move(devicePath);
}

void PortMap::unmap(int port) {
    mappings_.erase(port);
}

std::string PortMap::devicePath(int port) const {
    const auto mapped = mappings_.find(port);
    if (mapped != mappings_.end()) {
        return mapped->second;
    }
    return comm::defaultDevicePath(port);  // nothing for COM0: there is no such port
}

std::string PortMap::devicePathForName(std::string_view portName) const {
    constexpr std::string_view prefix = "COM";
    int port = 0;
    if (portName.substr(0, prefix.size()) == prefix &&
        comm::parseWholeNumber(portName.substr(prefix.size()), port)) {
        return devicePath(port);
    }
    return std::string(portName);
}

bool PortMap::addMapping(std::string_view argument, std::string& error) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string_view::npos) {
        error = "expected n=PATH (for example 1=/dev/ttyUSB0), got '" + std::string(argument) + "'";
        return false;
    }
    int port = 0;
    if (!comm::parseWholeNumber(argument.substr(0, equals), port) || port < 1) {
        error = "the port number must be a whole number from 1 up, got '" +
                std::string(argument.substr(0, equals)) + "'";
        return false;
    }
    const std::string_view path = argument.substr(equals + 1);
    if (path.empty()) {
        error = "no device path given for port " + std::to_string(port);
        return false;
    }
    map(port, std::string(path));
    error.clear();
    return true;
}

}  // namespace dravolin
