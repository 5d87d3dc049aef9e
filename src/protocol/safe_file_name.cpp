#include "protocol/safe_file_name.h"

namespace dravolin {

bool isSafeFileName(std::string_view name) {
    if (name.empty() || name == "." || name.find("..") != std::string_view::npos) {
        return false;
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

std::string trimmedDeviceName(std::string_view name) {
    const auto last = name.find_last_not_of(' ');
    return std::string(last == std::string_view::npos ? std::string_view()
                                                      : name.substr(0, last + 1));
}

}  // namespace dravolin
