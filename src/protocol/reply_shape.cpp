#include "protocol/reply_shape.h"

#include "protocol/frames.h"

namespace dravolin {

bool cannotBeStatusReply(std::span<const std::uint8_t> received) {
    if (!received.empty() && received[0] != static_cast<std::uint8_t>(kStatusAccepted)) {
        return true;
    }
    if (received.size() >= kStatusReplyLength) {
        const std::uint8_t letter = received[1];
        return letter < 0x21 || letter > 0x7e;
    }
    return false;
}

}  // namespace dravolin
