#pragma once

#include <cstdint>

namespace dravolin {

// Messages from the monitor thread to the owner of a SerialPort. The values are those the
// owner has always been sent; the first parameter carries the byte for MSG_RX_CHAR and 0
// otherwise, the second the port number.
inline constexpr unsigned MSG_BREAK = 0x0401;
inline constexpr unsigned MSG_CTS = 0x0402;
inline constexpr unsigned MSG_ERR = 0x0404;
inline constexpr unsigned MSG_RING = 0x0405;
inline constexpr unsigned MSG_RX_CHAR = 0x0407;
inline constexpr unsigned MSG_RXFLAG = 0x0408;
// Not one of the historical messages: the device has gone (hung up, or failing with an
// error that means it is no longer there). Sent once per opening, after the bytes that
// came before it; a wait for the device can end now instead of at its time-out.
inline constexpr unsigned MSG_LINE_GONE = 0x0410;
// Not one of the historical messages either: bytes came with parity or framing errors (the
// first parameter says how many), after those bytes. The line settings of the two ends
// probably differ.
inline constexpr unsigned MSG_LINE_ERROR = 0x0411;

// Port event kinds of the event mask.
inline constexpr unsigned EV_RXCHAR = 0x0001;
inline constexpr unsigned EV_RXFLAG = 0x0002;
inline constexpr unsigned EV_CTS = 0x0008;
inline constexpr unsigned EV_BREAK = 0x0040;
inline constexpr unsigned EV_ERR = 0x0080;
inline constexpr unsigned EV_RING = 0x0100;

// Whoever receives the port's messages. portMessage runs on the interface thread (the
// thread that called openPort, which runs a Qt event loop); the monitor thread waits
// until it has returned. The result is not used.
class PortOwner {
public:
    virtual ~PortOwner() = default;
    virtual long portMessage(unsigned message, std::uintptr_t firstParameter,
                             std::intptr_t secondParameter) = 0;
};

}  // namespace dravolin
