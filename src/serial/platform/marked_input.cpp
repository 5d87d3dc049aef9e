#include "serial/platform/marked_input.h"

namespace dravolin {

namespace {

constexpr std::uint8_t kMark = 0xFF;

}  // namespace

std::size_t MarkedInput::decode(std::span<const std::uint8_t> raw,
                                std::vector<std::uint8_t>& data) {
    std::size_t errors = 0;
    for (const std::uint8_t byte : raw) {
        switch (state_) {
            case State::Plain:
                if (byte == kMark) {
                    state_ = State::AfterMark;
                } else {
                    data.push_back(byte);
                }
                break;
            case State::AfterMark:
                if (byte == 0) {
                    state_ = State::AfterErrorMark;
                } else {
                    // 0xFF 0xFF; anything else cannot follow a mark, and is taken as it came.
                    data.push_back(kMark);
                    if (byte != kMark) {
                        data.push_back(byte);
                    }
                    state_ = State::Plain;
                }
                break;
            case State::AfterErrorMark:
                data.push_back(byte);
                ++errors;
                state_ = State::Plain;
                break;
        }
    }
    return errors;
}

}  // namespace dravolin
