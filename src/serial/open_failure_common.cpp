#include "serial/open_failure_common.h"

#include <cerrno>
#include <cstring>

namespace dravolin {

FilledText commonOpenFailureText(const std::string& devicePath, int code) {
    if (devicePath.empty()) {
        return {TextId::PortWithoutDevice, {}};
    }
    switch (code) {
        case ENOENT:
            return {TextId::PortMissing, {devicePath}};
        case ENXIO:
        case ENODEV:
            return {TextId::PortWithoutHardware, {devicePath}};
        case ENOTTY:
        case EISDIR:
            return {TextId::PortNotSerial, {devicePath}};
        default:
            return {TextId::PortOtherFailure, {devicePath, std::strerror(code)}};
    }
}

}  // namespace dravolin
