#include "serial/open_failure_common.h"

#include <cerrno>
#include <cstring>
#include <utility>

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

OpenFailure shownOpenFailure(TextId text, std::vector<std::string> words,
                             std::string (*show)(std::string_view)) {
    for (std::string& word : words) {
        word = show(word);
    }
    return OpenFailure{FilledText{text, std::move(words)}};
}

}  // namespace dravolin
