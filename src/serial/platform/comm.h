#pragma once

// The small layer that stands where the serial and signalling calls of the original
// platform stood: manual-reset events, a wait for any of them that names the lowest set
// one, and a comm port with time-outs, an event mask, line settings, purging and a
// "wait for a port event" whose completion sets an event. The system's calls and the
// standard library only, so that the serial link and its tests need no Qt below this line:
// comm_posix.cpp (termios, poll, eventfd) and comm_win32.cpp (the Win32 comm calls).

#ifndef _WIN32
#include <termios.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace dravolin::comm {

// The event-mask bit for "a byte was received", the only kind a terminal device reports
// here; the other kinds of the mask are kept and read back but never occur.
inline constexpr unsigned kEventReceived = 0x0001;

// The code (an errno value, on Windows too) of the last failure of a comm call on the calling
// thread.
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

    void set();
    void reset();
    bool isSet() const;
#ifdef _WIN32
    bool valid() const {
        return handle_ != nullptr;
    }
    void* handle() const {
        return handle_;
    }

private:
    void* handle_ = nullptr;  // a manual-reset Win32 event
#else
    bool valid() const {
        return fd_ >= 0;
    }
    int fd() const {
        return fd_;
    }

private:
    int fd_ = -1;
#endif
};

// The five time-outs in milliseconds, in the order the port keeps them.
struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

#ifdef _WIN32
// The parts of the port's DCB that a settings string fixes, in the DCB's own terms; the
// Win32 port keeps the rest of the DCB as the port had it.
struct LineSettings {
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;    // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    std::uint8_t stopBits = 0;  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
};
#else
using LineSettings = termios;
#endif

// The line parameters as read from the port and written back.
struct LineState {
    LineSettings settings{};
    int baud = 0;
    int rtsControl = 0;  // 0 off, 1 on, 2 handshake, 3 toggle
};

// Applies "baud=%d parity=%c data=%d stop=%d" to a line state: raw bytes, the data bits,
// parity and stop bits asked for, no flow control. False (EINVAL) when the text is not of
// that form; the speed is only checked when the state is applied to a port.
bool buildLineState(const std::string& settings, LineState& state);

// Whether the line, set like this, marks bytes received with a parity or framing error as
// the three bytes 0xFF 0x00 byte, and a received 0xFF as 0xFF 0xFF (see MarkedInput).
bool marksLineErrors(const LineState& state);

enum class WaitStart { Pending, CompletedAtOnce, Failed };
enum class ReadOutcome { Read, Nothing, FailedAtOnce, FailedLate };
enum class WriteOutcome { Written, EndedLate, FailedAtOnce, Abandoned };

// waitForAny's answer when its time ran out before any event was set.
inline constexpr int kWaitTimedOut = -2;

// An open serial device, used by one thread at a time: the interface thread while it opens
// and configures it, then the monitor thread. makeSystemPort() gives the system's own;
// tests put one of their own in front of it to bring about faults a real device rarely
// shows on demand.
class Port {
public:
    virtual ~Port() = default;

    // Exclusive read-write use of a terminal device; false with lastError() set. The
    // settings the device had are kept, to be put back when it is handed back.
    virtual bool open(const std::string& devicePath) = 0;

    // Hands the device back (see handBack) if that has not happened yet, and closes it.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Hands the device back while this descriptor stays open for an operation under way:
    // output not yet sent is discarded (so that nothing waits for a slow line to drain),
    // the settings it had before open() are put back and another opening may take it.
    virtual void handBack() = 0;

    virtual bool setTimeouts(const Timeouts& timeouts) = 0;
    virtual bool setEventMask(unsigned mask) = 0;
    virtual bool eventMask(unsigned& mask) const = 0;
    virtual bool readState(LineState& state) const = 0;
    virtual bool applyState(const LineState& state) = 0;
    // Discards the bytes received but not read and the bytes not yet sent.
    virtual bool purge() = 0;
    virtual bool bytesWaiting(std::size_t& count) = 0;
    // The bytes written but still in the output queue of the system (and the device's
    // driver), not yet on their way down the line.
    virtual bool bytesQueuedForOutput(std::size_t& count) = 0;

    // Begins the wait for a monitored event. Either it completes at once (bytes already
    // waiting; `completion` is set) or the port is armed, and waitForAny then watches the
    // device as well and sets `completion` when it is readable or hung up.
    virtual WaitStart beginEventWait(Event& completion) = 0;

    // Sleeps until one of `events` is set and returns the index of the lowest-numbered set
    // one, watching the device too while it is armed. -1 with lastError() set when the
    // wait itself failed.
    virtual int waitForAny(std::span<Event* const> events) = 0;

    // Reads the bytes that wait, as many as `buffer` holds, with one call; `count` tells
    // how many. When none waits yet it waits for the first within the read time-outs;
    // `abandon` ends that wait (Nothing).
    virtual ReadOutcome read(std::span<std::uint8_t> buffer, std::size_t& count,
                             const Event* abandon) = 0;

    // Writes all of `bytes` within the write time-outs. `abandon` ends a pending write.
    virtual WriteOutcome write(std::span<const std::uint8_t> bytes, const Event* abandon) = 0;

    // The device has gone (hung up, removed); it is not worth watching any more.
    virtual bool hungUp() const = 0;
};

// The system's serial port, not yet open.
std::unique_ptr<Port> makeSystemPort();

// The device "COMn" stands for unless it is mapped to another: /dev/ttyS(n-1), or \\.\COMn
// on Windows. Empty for a number below 1.
std::string defaultDevicePath(int port);

// Makes the port of each opening; empty means the system's.
using PortFactory = std::function<std::unique_ptr<Port>()>;

// Sleeps until one of `events` is set and returns the index of the lowest-numbered set
// one; -1 with lastError() set when the wait itself failed. With a time-out, kWaitTimedOut
// when it passed first.
int waitForAny(std::span<Event* const> events);
int waitForAny(std::span<Event* const> events, std::chrono::microseconds timeout);

}  // namespace dravolin::comm
