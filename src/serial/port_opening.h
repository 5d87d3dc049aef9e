#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/reply_waits.h"
#include "serial/link_client.h"
#include "serial/platform/comm.h"
#include "serial/warning_presenter.h"

namespace dravolin {

// Everything that belongs to one opening of the port: its signals, lock, device, write
// hand-over, and what the monitor thread has for the client and the operator. The SerialPort
// and the opening's monitor thread share it, so the thread never touches a SerialPort that
// has gone, and a new opening never waits on anything of an old one.
//
// What the monitor thread has for the interface thread (received bytes, the hang-up, how
// much of a frame has left, a warning) gathers here under the state lock and the SerialPort's
// arrival signal is set; the interface thread takes all of it at once with tellClient. The
// monitor thread never waits for that: nothing made on it crosses over but these values.
class PortOpening : public std::enable_shared_from_this<PortOpening> {
public:
    PortOpening(LinkClient& client, int portNumber, const LineTiming& line,
                WarningPresenter& presenter, comm::Event& arrivals,
                std::unique_ptr<comm::Port> port);
    PortOpening(const PortOpening&) = delete;
    PortOpening& operator=(const PortOpening&) = delete;

    int portNumber() const { return portNumber_; }
    const LineTiming& line() const { return line_; }

    // How many bytes the client awaits since the latest frame went out (0: not known). The
    // monitor thread then gathers a trickling answer in one sleep, not slice by slice.
    std::size_t expectedReply() const { return expectedReply_; }
    void expectReply(std::size_t bytes) { expectedReply_ = bytes; }

    // The signals of the monitor loop in the order of their precedence, and the halt signal.
    comm::Event& shutdownEvent() { return shutdownEvent_; }
    comm::Event& commEvent() { return commEvent_; }
    comm::Event& writeEvent() { return writeEvent_; }
    comm::Event& haltEvent() { return haltEvent_; }
    bool signalsValid() const;

    std::mutex& portLock() { return portLock_; }

    // The device. The interface thread uses it while opening, before the monitor thread
    // starts; the monitor thread only between beginPortUse and endPortUse.
    comm::Port& port() { return *port_; }
    std::optional<LinkError> openDevice(const std::string& devicePath);
    bool watchingPort();  // open and not hung up

    // False when the opening is halted (or has no device): no port operation then.
    bool beginPortUse();
    void endPortUse();

    // The write hand-over: the interface thread places a frame, the monitor thread takes it
    // as it writes it. Bytes the monitor thread read before it took the latest frame placed
    // never reach the client: they cannot be the answer to that frame.
    void placeWriteRequest(std::span<const std::uint8_t> frame);
    std::vector<std::uint8_t> takeWriteFrame();

    // Monitor thread: the frame taken last was written whole; then what the output queue
    // still holds of it. The client hears how much has left, never less than it heard
    // before; false once all of it has left (or a newer frame was placed).
    void frameWritten(std::size_t written);
    bool outputQueued(std::size_t queued);

    // Monitor thread: a run received, the hang-up (once), a call that failed. False when the
    // opening is halted: the monitor thread then goes no further.
    bool post(std::vector<std::uint8_t> run, std::size_t lineErrors);
    bool tellHungUp();
    // A failure is a warning for the operator, one an opening at most; a device that has
    // gone fails every call, and its hang-up says all there is to say.
    void raise(const LinkError& error);

    // Interface thread, when the arrival signal is set: tells the client what has come and
    // puts up the waiting warning, if any. Nothing is told once the opening is halted.
    void tellClient();

    // Interface thread: a step of opening failed; the warning is put up, never waited for.
    void reportError(const LinkError& error);

    // False when a monitor thread was started already or the opening is halted.
    bool claimMonitor();

    // Interface thread: stop the monitor thread for good and take down its open warning.
    void halt();
    bool halted();

    // Interface thread: halts, then closes the device now, or lets the monitor thread close
    // it as it leaves its current port operation; either way another opening can take the
    // device at once.
    void closePort();

private:
    // What the monitor thread has for the interface thread, not yet taken.
    struct News {
        std::vector<std::uint8_t> bytes;
        std::size_t lineErrors = 0;
        bool hungUp = false;
        std::optional<std::size_t> frameLeft;
        std::optional<LinkError> warning;
    };

    // Under the state lock.
    void signalArrivals();
    bool mayWarn() const;

    void present(const LinkError& error);
    void warningAnswered(std::uint64_t id);

    LinkClient& client_;
    const int portNumber_;
    const LineTiming line_;
    WarningPresenter& presenter_;
    comm::Event& arrivals_;  // the SerialPort's; set only under the state lock, never once halted
    std::atomic<std::size_t> expectedReply_{0};

    comm::Event shutdownEvent_;
    comm::Event commEvent_;
    comm::Event writeEvent_;
    comm::Event haltEvent_;
    std::mutex portLock_;
    const std::unique_ptr<comm::Port> port_;

    std::mutex stateMutex_;  // guards what follows; never held while calling anyone else
    bool halted_ = false;
    bool monitorClaimed_ = false;
    bool portInUse_ = false;
    bool closeWanted_ = false;
    std::vector<std::uint8_t> writeBuffer_;
    std::uint64_t framesPlaced_ = 0;
    std::uint64_t framesTaken_ = 0;  // the frames placed when the last write began
    std::size_t frameWritten_ = 0;   // of the latest frame placed
    std::size_t frameLeftTold_ = 0;  // of those, what the client heard had left
    News news_;
    bool hungUpTold_ = false;
    int warnings_ = 0;               // raised or put up
    std::uint64_t openWarning_ = 0;  // a warning of the monitor thread that is up, unanswered
};

}  // namespace dravolin
