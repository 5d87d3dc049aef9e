#pragma once

#include <cstddef>

namespace dravolin {

// The line as far as its timing goes: 8 data bits always, one start bit.
struct LineTiming {
    int baudRate = 9600;
    char parity = 'E';  // 'O', 'E' or 'N'
    int stopBits = 1;
};

// A device's turnaround (reading the frame, storing a file) plus a USB adapter's latency
// timer in each direction (up to 16 ms by default) and the scheduling of both ends.
inline constexpr int kDeviceAndAdapterAllowanceMs = 100;

// The shortest wait the program arms: a timer of 0 ms would end a wait before the
// reply could have begun.
inline constexpr int kShortestWaitMs = 10;

// Bits on the line for one byte: start, 8 data, parity when there is one, stop bits.
int bitsPerByte(const LineTiming& line);

// Milliseconds that `bytes` take on the line at its rate, rounded up.
int lineTimeMs(std::size_t bytes, const LineTiming& line);

// How long to wait for a reply: at least the protocol's own time-out for that phase
// (`protocolMs`, kept as a lower bound), and at least the line time of the frame still
// leaving (`bytesSent`) and of the reply expected (`bytesExpected`) plus the device and
// adapter allowance.
int replyWaitMs(int protocolMs, std::size_t bytesSent, std::size_t bytesExpected,
                const LineTiming& line);

// The waits of the three transactions, one function per phase.
int statusWaitMs(std::size_t frameBytes, const LineTiming& line);  // after a command frame
int directoryHeaderWaitMs(const LineTiming& line);                 // after the go-ahead
int directoryEntriesWaitMs(int entries, const LineTiming& line);   // the rest of the reply
int fileHeaderWaitMs(const LineTiming& line);                      // after the go-ahead
int fileDataWaitMs(int dataLength, const LineTiming& line);        // data and check byte
int dataStatusWaitMs(int dataLength, const LineTiming& line);      // after the data frame

// How long a reply that has begun may fall silent before the exchange gives it up: no byte
// for a second, or for twenty byte times where those are longer. The phase's whole wait
// stays its upper bound; this ends a reply cut off part-way (a cable pulled gives no
// hang-up) long before it.
int stallGapMs(const LineTiming& line);

}  // namespace dravolin
