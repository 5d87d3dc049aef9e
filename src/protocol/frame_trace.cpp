#include "protocol/frame_trace.h"

namespace dravolin {

std::string traceLine(std::string_view direction, std::span<const std::uint8_t> bytes,
                      std::string_view remark) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string line(direction);
    if (!remark.empty()) {
        line += ' ';
        line += remark;
    }
    line.reserve(line.size() + 3 * bytes.size());
    for (const std::uint8_t byte : bytes) {
        line += ' ';
        line += kHexDigits[byte >> 4];
        line += kHexDigits[byte & 0x0F];
    }
    return line;
}

}  // namespace dravolin
