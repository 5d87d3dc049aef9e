#include "serial/platform/link_error.h"

#include "protocol/escaped_name.h"

namespace dravolin {

std::string LinkError::warningText(int portNumber) const {
    const std::string systemText = text.empty() ? "Error " + std::to_string(code) : text;
    return "WARNING:  " + call + " Failed with the following error: \n" + shownText(systemText) +
           "\nPort: " + std::to_string(portNumber) + "\n";
}

}  // namespace dravolin
