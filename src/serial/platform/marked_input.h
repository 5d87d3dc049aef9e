#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dravolin {

// Reads the input of a line that marks its errors (PARMRK without IGNPAR): 0xFF 0xFF is a
// received 0xFF, 0xFF 0x00 X a byte X that came with a parity or framing error (X is 0 for
// a break). The marks may be split between two reads; the part that ends one read is kept
// for the next.
class MarkedInput {
public:
    // Appends the received bytes of `raw` to `data` (a byte with an error too, as it came)
    // and returns how many errors `raw` marked.
    std::size_t decode(std::span<const std::uint8_t> raw, std::vector<std::uint8_t>& data);

private:
    enum class State { Plain, AfterMark, AfterErrorMark };
    State state_ = State::Plain;
};

}  // namespace dravolin
