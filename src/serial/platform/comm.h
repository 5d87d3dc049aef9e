#pragma once

// The small layer that stands where the serial and signalling calls of the original
// platform stood: manual-reset events, a wait for any of them that names the lowest set
// one, and a comm port with time-outs, an event mask, line settings, purging and a
// "wait for a port event" whose completion sets an event. POSIX and the standard library
// only, so that the serial link and its tests need no Qt below this line.

#include <termios.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dravolin::comm {

// The event-mask bit for "a byte was received", the only kind a terminal device reports
// here; the other kinds of the mask are kept and read back but never occur.
inline constexpr unsigned kEventReceived = 0x0001;

// The code (an errno value) of the last failure of a comm call on the calling thread.
int lastError();
void setLastError(int code);

// The system's text for a code in the user's language; empty when it has none.
std::string errorText(int code);

// A whole number of one to nine digits, without sign or blanks (as in "COM3" or
// "baud=9600").
bool parseWholeNumber(std::string_view text, int& value);

// A manual-reset event: stays set until reset, and can be waited on together with others.
class Event {
public:
    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool valid() const { return fd_ >= 0; }
    void set();
    void reset();
    bool isSet() const;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// The five time-outs in milliseconds, in the order the port keeps them.
struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

// The line parameters as read from the port and written back.
struct LineState {
    termios settings{};
    int baud = 0;
    int rtsControl = 0;  // 0 off, 1 on, 2 handshake, 3 toggle
};

// Applies "baud=%d parity=%c data=%d stop=%d" to a line state: raw bytes, the data bits,
// parity and stop bits asked for, no flow control. False (EINVAL) when the text is not of
// that form; the speed is only checked when the state is applied to a port.
bool buildLineState(const std::string& settings, LineState& state);

enum class WaitStart { Pending, CompletedAtOnce, Failed };
enum class ReadOutcome { Byte, NoByte, FailedAtOnce, FailedLate };
enum class WriteOutcome { Written, EndedLate, FailedAtOnce, Abandoned };

// Faults a test can plan for a port, since a real device rarely fails on demand.
struct FaultPlan {
    int staleEventCompletions = 0;  // waits that complete at once with nothing received
    int readFailuresAtOnce = 0;     // one-byte reads that fail before they begin
    int readFailuresLate = 0;       // one-byte reads that fail while completing
};

// An open serial device, used by one thread at a time. Received bytes are read from the
// device in runs into a small queue and handed out one at a time; "bytes waiting" counts
// the queue too, and a purge empties it.
class Port {
public:
    Port() = default;
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Exclusive read-write use of a terminal device; false with lastError() set.
    bool open(const std::string& devicePath);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Lets another opening take the device while this descriptor is still open.
    void releaseExclusiveUse();

    bool setTimeouts(const Timeouts& timeouts);
    bool setEventMask(unsigned mask);
    bool eventMask(unsigned& mask) const;
    bool readState(LineState& state) const;
    bool applyState(const LineState& state);
    bool purge();
    bool bytesWaiting(std::size_t& count);

    // Begins the wait for a monitored event. Either it completes at once (bytes already
    // waiting; `completion` is set) or the port is armed, and waitForAny then watches the
    // device and sets `completion` when it is readable or hung up.
    WaitStart beginEventWait(Event& completion);

    // Reads one byte. `abandon` ends a read that has to wait for the device.
    ReadOutcome readByte(std::uint8_t& byte, const Event* abandon);

    // Writes all of `bytes` within the write time-outs. `abandon` ends a pending write.
    WriteOutcome write(std::span<const std::uint8_t> bytes, const Event* abandon);

    // The device has gone (hung up, removed); it is not worth watching any more.
    bool hungUp() const { return hungUp_; }

    void setFaultPlan(const FaultPlan& plan) { faults_ = plan; }

private:
    friend int waitForAny(std::span<Event* const> events, Port* port);

    void noteFailure(int code);
    bool takenApartFromParity(const termios& wanted) const;
    bool fillQueue(std::size_t& added);
    short armedPollEvents() const;
    void completeEventWait(short revents);
    bool waitUntilReady(short pollEvents, int milliseconds, const Event* abandon, bool& abandoned);

    int fd_ = -1;
    bool exclusive_ = false;
    bool hungUp_ = false;
    unsigned eventMask_ = 0;
    Timeouts timeouts_;
    Event* armedCompletion_ = nullptr;
    std::vector<std::uint8_t> queue_;
    std::size_t queueHead_ = 0;
    FaultPlan faults_;
};

// Sleeps until one of `events` is set and returns the index of the lowest-numbered set
// one. When `port` is armed, its device is watched as well (see Port::beginEventWait).
// -1 with lastError() set when the wait itself failed.
int waitForAny(std::span<Event* const> events, Port* port);

}  // namespace dravolin::comm
