#include "serial/open_failure_common.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "protocol/escaped_name.h"

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

OpenFailure shownOpenFailure(TextId text, std::vector<std::string> words) {
    for (std::string& word : words) {
        word = shownText(word);
    }
    return OpenFailure{FilledText{text, std::move(words)}};
}

}  // namespace dravolin
