#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "serial/platform/comm.h"
#include "serial/port_owner.h"
#include "serial/warning_presenter.h"

namespace dravolin {

// One message for the owner; the second parameter is always the port number.
struct PortMessage {
    unsigned message = 0;
    std::uintptr_t firstParameter = 0;
};

// Everything that belongs to one opening of the port: its signals, lock, device, write
// hand-over and the hand-over of messages and warnings to the interface thread. The
// SerialPort and the opening's monitor thread share it, so the thread never touches a
// SerialPort that has gone, and a new opening never waits on anything of an old one.
//
// What the monitor thread has for the interface thread (a delivery, a warning) waits
// here under the state lock; the SerialPort's arrival signal wakes the interface thread,
// which takes it with takeArrivals. Nothing made on the monitor thread crosses over.
class PortOpening : public std::enable_shared_from_this<PortOpening> {
public:
    PortOpening(PortOwner* owner, int portNumber, unsigned eventMask, WarningPresenter& presenter,
                comm::Event& arrivals, std::unique_ptr<comm::Port> port);
    PortOpening(const PortOpening&) = delete;
    PortOpening& operator=(const PortOpening&) = delete;

    int portNumber() const { return portNumber_; }
    unsigned eventMask() const { return eventMask_; }

    // The time one byte takes on the line as configured; set while opening, before the
    // monitor thread starts.
    std::chrono::microseconds lineByteTime() const { return lineByteTime_; }
    void setLineByteTime(std::chrono::microseconds byteTime) { lineByteTime_ = byteTime; }

    // Whether the device marks the bytes it received with errors (comm::marksLineErrors);
    // set while opening, before the monitor thread starts.
    bool inputMarked() const { return inputMarked_; }
    void setInputMarked(bool marked) { inputMarked_ = marked; }

    // How many bytes the owner awaits since the latest frame went out (0: not known). The
    // monitor thread then gathers a trickling answer in one sleep, not slice by slice.
    std::size_t expectedReply() const { return expectedReply_; }
    void expectReply(std::size_t bytes) { expectedReply_ = bytes; }

    // The signals of the monitor loop in the order of their precedence, and the halt signal.
    comm::Event& shutdownEvent() { return shutdownEvent_; }
    comm::Event& commEvent() { return commEvent_; }
    comm::Event& writeEvent() { return writeEvent_; }
    comm::Event& haltEvent() { return haltEvent_; }
    // Set by the interface thread to have the monitor thread measure the output queue.
    comm::Event& measureEvent() { return measureEvent_; }
    bool signalsValid() const;

    std::mutex& portLock() { return portLock_; }

    // The device. The interface thread uses it while opening, before the monitor thread
    // starts; the monitor thread only between beginPortUse and endPortUse.
    comm::Port& port() { return *port_; }
    bool openDevice(const std::string& devicePath);
    bool watchingPort();  // open and not hung up

    // False when the opening is halted (or has no device): no port operation then.
    bool beginPortUse();
    void endPortUse();

    // The write hand-over: the interface thread places a frame, the monitor thread takes it
    // as it writes it. Bytes the monitor thread read before it took the latest frame placed
    // never reach the owner: they cannot be the answer to that frame.
    void placeWriteRequest(std::span<const std::uint8_t> frame);
    std::uint32_t writeLength();
    std::vector<std::uint8_t> takeWriteFrame(std::uint32_t length);

    // How much of the latest frame placed has left the PC: written by the monitor thread and
    // no longer in the output queue. The monitor thread tells what it wrote and what the
    // queue still held; both are ignored once a newer frame was placed, and the count never
    // goes back within one frame.
    void frameWritten(std::size_t written);
    void outputQueued(std::size_t queued);
    std::size_t frameBytesSent();

    // Hands messages to the owner on the interface thread and waits until they are handled
    // or the opening is halted. False when halted: the monitor thread then goes no further.
    // Messages that have not reached the owner when the opening is halted never do.
    bool deliver(std::vector<PortMessage> messages);

    // Interface thread, when the arrival signal is set: hands over the waiting delivery
    // and puts up the waiting warning, if any.
    void takeArrivals();

    // Monitor thread: tells the owner once (MSG_LINE_GONE) when the device has gone. False
    // when the opening is halted.
    bool tellLineGone();

    // Shows the "Application Error" warning for a failed call. On the interface thread it
    // returns when the warning is answered; on the monitor thread also when halted.
    void reportError(const char* callName);
    static std::string warningText(const std::string& callName, int errorCode, int portNumber);

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
    struct WarningState {
        std::uint64_t id = 0;
        bool presented = false;
        bool answered = false;
    };

    void handOver(std::uint64_t serial, const std::vector<PortMessage>& messages,
                  bool bytesBeforeFrame);
    // A warning of the interface thread itself: put up, never waited for.
    void presentHere(const std::string& text);
    void askInterfaceThread(const std::string& text);
    void presentForMonitor(std::uint64_t id, const std::string& text);
    void warningAnswered(std::uint64_t id);

    PortOwner* const owner_;
    const int portNumber_;
    const unsigned eventMask_;
    WarningPresenter& presenter_;
    comm::Event& arrivals_;  // the SerialPort's; set only under the state lock, never once halted
    const std::thread::id interfaceThread_;
    std::chrono::microseconds lineByteTime_{0};
    bool inputMarked_ = false;
    std::atomic<std::size_t> expectedReply_{0};

    comm::Event shutdownEvent_;
    comm::Event commEvent_;
    comm::Event writeEvent_;
    comm::Event haltEvent_;
    comm::Event measureEvent_;
    std::mutex portLock_;
    const std::unique_ptr<comm::Port> port_;

    std::mutex stateMutex_;  // guards what follows; never held while waiting on anyone else
    std::condition_variable stateChanged_;
    bool halted_ = false;
    bool monitorClaimed_ = false;
    bool portInUse_ = false;
    bool closeWanted_ = false;
    std::vector<std::uint8_t> writeBuffer_;
    std::uint64_t framesPlaced_ = 0;
    std::uint64_t framesTaken_ = 0;      // the frames placed when the last write began
    std::size_t frameWritten_ = 0;       // of the latest frame placed
    std::size_t frameBytesSent_ = 0;     // of those, no longer queued when last measured
    std::uint64_t deliveryFrames_ = 0;   // framesTaken_ when the waiting delivery was read
    std::vector<PortMessage> delivery_;  // waiting for the interface thread
    std::uint64_t deliveriesPosted_ = 0;
    std::uint64_t deliveriesTaken_ = 0;
    std::uint64_t deliveriesHandled_ = 0;
    WarningState warning_;
    std::string warningText_;
    bool warningWaiting_ = false;
    int warningsShown_ = 0;
    bool lineGoneTold_ = false;
};

}  // namespace dravolin
