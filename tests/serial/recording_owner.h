#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "serial/port_owner.h"

namespace dravolin {

// Keeps every message the link hands over, in order.
class RecordingOwner : public PortOwner {
public:
    struct Message {
        unsigned message = 0;
        std::uintptr_t firstParameter = 0;
        std::intptr_t secondParameter = 0;
    };

    long portMessage(unsigned message, std::uintptr_t firstParameter,
                     std::intptr_t secondParameter) override {
        messages.push_back(Message{message, firstParameter, secondParameter});
        if (message == MSG_RX_CHAR) {
            bytes.push_back(static_cast<char>(firstParameter));
        }
        return 0;
    }

    std::vector<unsigned> messageValues() const {
        std::vector<unsigned> values;
        for (const Message& message : messages) {
            values.push_back(message.message);
        }
        return values;
    }

    std::vector<Message> messages;
    std::string bytes;  // the first parameters of MSG_RX_CHAR
};

}  // namespace dravolin
