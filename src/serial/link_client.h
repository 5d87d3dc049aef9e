#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dravolin {

// Whoever an open SerialPort tells what the line brings. The calls come on the thread that
// opened the port, from its event loop (or from SerialPort::takeArrivals), never from inside
// another call of the port; none comes once the port is closed.
class LinkClient {
public:
    virtual ~LinkClient() = default;

    // A run of bytes came from the device, in order, after the latest frame requested went
    // out (what came before it is dropped: it cannot be the answer to it); `lineErrors` of
    // them came with parity or framing errors, so the settings of the two ends probably
    // differ. The monitor thread gathers a trickling answer into runs (docs/waits.md).
    virtual void received(std::span<const std::uint8_t> run, std::size_t lineErrors) = 0;

    // The device has gone (hung up, removed, failing as only a gone device does): told once,
    // after the bytes it sent before.
    virtual void hungUp() = 0;

    // `bytes` of the latest frame requested have left the PC: written, and no longer in the
    // system's output queue. Told as the frame drains, the last time when all of it has left.
    virtual void frameLeft(std::size_t bytes) = 0;
};

}  // namespace dravolin
