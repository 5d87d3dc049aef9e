#pragma once

// The seam between the serial link and the operating system: manual-reset events, a wait for
// any of them that names the lowest set one, and a serial port that is opened, set to a line,
// watched, read, written and handed back. Below it the system's calls and the standard
// library only, so that the serial link and its tests need no Qt here: comm_posix.cpp
// (termios, poll, eventfd) and comm_win32.cpp (the Win32 comm calls, overlapped). Nothing
// above it names a call, a flag or a message number of either system; failures come back as
// LinkError values, raised where the call fails.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/reply_waits.h"
#include "serial/platform/link_error.h"

namespace dravolin::comm {

// The system's text for an errno value, in the user's language; empty when it has none.
std::string errorText(int code);

// A whole number of one to nine digits, without sign or blanks (as in "COM3").
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

enum class WaitStart { Pending, CompletedAtOnce, Failed };

// What one read brought; its bytes were appended to the caller's run.
struct ReadResult {
    std::size_t count = 0;       // bytes appended
    std::size_t lineErrors = 0;  // of those, how many came with a parity or framing error
    std::optional<LinkError> error;
};

// What one write did: `written` bytes were taken by the system. A write that ends short
// without an error (its time-out passed, or it was abandoned) is not a failure of the call.
struct WriteResult {
    std::size_t written = 0;
    std::optional<LinkError> error;
};

// waitForAny's answer when its time ran out before any event was set.
inline constexpr int kWaitTimedOut = -2;

// An open serial device, used by one thread at a time: the interface thread while it opens
// and configures it, then the monitor thread. makeSystemPort() gives the system's own;
// tests put one of their own in front of it to bring about faults a real device rarely
// shows on demand.
class Port {
public:
    virtual ~Port() = default;

    // Exclusive read-write use of a terminal device (a LinkError of kind Open with an errno
    // value for the cause, if not). The settings the device had are kept, to be put back
    // when it is handed back.
    virtual std::optional<LinkError> open(const std::string& devicePath) = 0;

    // Hands the device back (see handBack) if that has not happened yet, and closes it.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Hands the device back while this descriptor stays open for an operation under way:
    // output not yet sent is discarded (so that nothing waits for a slow line to drain),
    // the settings it had before open() are put back and another opening may take it.
    virtual void handBack() = 0;

    // Sets the line as the link uses it: the rate, parity ('O', 'E' or 'N') and stop bits of
    // `line` with 8 data bits, raw bytes, RTS held on and no flow control, parity and framing
    // errors on input reported (ReadResult::lineErrors) rather than dropped; and the link's
    // time-outs: a read waits up to 2 s for bytes said to be waiting, a write may take 1 s a
    // byte and 1 s more. The first step that fails ends it and says which.
    virtual std::optional<LinkError> configure(const LineTiming& line) = 0;

    // Discards the bytes received but not read and the bytes not yet sent.
    virtual bool purge() = 0;
    virtual bool bytesWaiting(std::size_t& count) = 0;
    // The bytes written but still in the output queue of the system (and the device's
    // driver), not yet on their way down the line.
    virtual bool bytesQueuedForOutput(std::size_t& count) = 0;

    // Begins the wait for received bytes. Either it completes at once (bytes already
    // waiting; `completion` is set) or the port is armed, and waitForAny then watches the
    // device as well and sets `completion` when it is readable or hung up.
    virtual WaitStart beginEventWait(Event& completion) = 0;

    // Sleeps until one of `events` is set and returns the index of the lowest-numbered set
    // one, watching the device too while it is armed; -1 when the wait itself failed. With a
    // time-out, kWaitTimedOut when it passed first.
    virtual int waitForAny(std::span<Event* const> events,
                           std::optional<std::chrono::milliseconds> timeout) = 0;

    // Reads the bytes that wait, at most `most`, with one call, and appends them to `run`.
    // When none waits yet it waits for the first within the read time-out; `abandon` ends
    // that wait (nothing read).
    virtual ReadResult read(std::size_t most, std::vector<std::uint8_t>& run,
                            const Event* abandon) = 0;

    // Writes all of `bytes` within the write time-out. `abandon` ends a pending write.
    virtual WriteResult write(std::span<const std::uint8_t> bytes, const Event* abandon) = 0;

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
// one; -1 when the wait itself failed. With a time-out, kWaitTimedOut when it passed first.
int waitForAny(std::span<Event* const> events);
int waitForAny(std::span<Event* const> events, std::chrono::microseconds timeout);

}  // namespace dravolin::comm
