#include "serial/serial_port.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <thread>
#include <utility>

#include "core/port_settings.h"
#include "serial/event_watch.h"
#include "serial/port_opening.h"
#include "serial/run_receiver.h"

namespace dravolin {

namespace {

using Clock = std::chrono::steady_clock;

// How often the output queue is looked at while a frame leaves: as often as progress is
// shown. Never while no frame is leaving.
constexpr auto kLookAtLeavingFrame = std::chrono::milliseconds(100);
constexpr Clock::time_point kNoFrameLeaving = Clock::time_point::max();

std::optional<std::chrono::milliseconds> timeUntil(Clock::time_point when) {
    if (when == kNoFrameLeaving) {
        return std::nullopt;
    }
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()));
}

}  // namespace

SerialPort::SerialPort(WarningPresenter& presenter, PortMap portMap, comm::PortFactory portFactory)
    : presenter_(presenter),
      portMap_(std::move(portMap)),
      portFactory_(portFactory ? std::move(portFactory) : comm::PortFactory(comm::makeSystemPort)) {
}

SerialPort::~SerialPort() {
    // Ends the current opening without waiting: its thread may be in the middle of a read.
    // Halted, it never signals again, so the arrival signal may go.
    if (opening_) {
        opening_->shutdownEvent().set();
        opening_->closePort();
    }
}

void SerialPort::setPortMap(PortMap portMap) {
    portMap_ = std::move(portMap);
}

const PortMap& SerialPort::portMap() const {
    return portMap_;
}

void SerialPort::watchArrivals() {
    if (arrivals_) {
        return;
    }
    // On the thread that opens the port, whose event loop tells the client.
    arrivals_ = std::make_unique<comm::Event>();
    if (!arrivals_->valid()) {
        return;  // no monitor thread will start; the exchange ends at its time-out
    }
    arrivalWatch_ = std::make_unique<EventWatch>(*arrivals_, [this] { takeArrivals(); });
}

void SerialPort::takeArrivals() {
    if (!arrivals_ || !arrivals_->valid()) {
        return;
    }
    arrivals_->reset();
    // The client may close the port, or open it anew, while it is told: the opening that
    // tells lives until it is done.
    if (const std::shared_ptr<PortOpening> opening = opening_) {
        opening->tellClient();
    }
}

void SerialPort::endRunningMonitor() {
    if (opening_) {
        opening_->shutdownEvent().set();
        opening_->halt();
    }
}

bool SerialPort::openPort(LinkClient& client, int portNumber, const LineTiming& line) {
    endRunningMonitor();
    watchArrivals();
    // Fresh signals, lock and device for this opening; the previous one keeps its own for a
    // thread that may still be leaving.
    std::shared_ptr<PortOpening> previous = std::move(opening_);
    auto opening = std::make_shared<PortOpening>(client, portNumber, line, presenter_, *arrivals_,
                                                 portFactory_());
    opening_ = opening;

    std::lock_guard lock(opening->portLock());
    if (previous) {
        previous->closePort();
    }
    const std::string devicePath = portMap_.devicePathForName(portNameFor(portNumber));
    if (!claimDevice(*opening, devicePath)) {
        return false;
    }
    if (const std::optional<LinkError> refused = opening->port().configure(line)) {
        opening->reportError(*refused);
    }
    opening->port().purge();  // also after a failed step
    return true;
}

bool SerialPort::claimDevice(PortOpening& opening, const std::string& devicePath) {
    lock_.release();
    const std::string lockFolder = PortLock::defaultFolder();
    // The lock first, as terminal programs do: opening a port can already disturb the line.
    if (!devicePath.empty()) {
        const PortLock::Outcome locked = lock_.acquire(lockFolder, devicePath);
        if (locked == PortLock::Outcome::HeldByOther) {
            openFailure_ = describeLockedDevice(devicePath, lockFolder, lock_);
            return false;
        }
        if (locked == PortLock::Outcome::NotPossible && lockNotice_.empty()) {
            lockNotice_ = "using " + devicePath + " without a lock file: " + lock_.problem();
        }
    }
    if (const std::optional<LinkError> refused = opening.openDevice(devicePath)) {
        lock_.release();
        openFailure_ = describeOpenFailure(devicePath, refused->code, lockFolder);
        return false;
    }
    openFailure_.reset();
    return true;
}

bool SerialPort::startMonitoring() {
    if (!opening_ || !arrivals_->valid() || !opening_->claimMonitor()) {
        return false;
    }
    std::shared_ptr<PortOpening> opening = opening_;
    try {
        // Detached: nothing ever waits for a monitor thread, and the thread co-owns its
        // opening, so it outlives neither what it uses nor a SerialPort that has gone.
        std::thread([opening] { monitorThread(*opening); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SerialPort::requestWrite(std::span<const std::uint8_t> frame) {
    if (opening_) {
        opening_->placeWriteRequest(frame);
        opening_->writeEvent().set();
    }
}

void SerialPort::expectReply(std::size_t bytes) {
    if (opening_) {
        opening_->expectReply(bytes);
    }
}

void SerialPort::closePort() {
    if (opening_) {
        opening_->closePort();
    }
    lock_.release();
}

// ---- the monitor thread

void SerialPort::monitorThread(PortOpening& opening) {
    if (!opening.signalsValid()) {
        return;
    }
    if (opening.beginPortUse()) {
        opening.port().purge();
        opening.endPortUse();
    }
    RunReceiver receiver(opening);
    Clock::time_point lookAtFrame = kNoFrameLeaving;
    while (!opening.halted()) {
        bool portArmed = false;
        if (!opening.watchingPort()) {
            // The one place where the loop learns that the device has gone (hung up, removed,
            // or failing as only a gone device does), or that there never was one: only the
            // signals wake the thread now.
            opening.commEvent().reset();
            opening.tellHungUp();
        } else {
            portArmed = beginWaitForPortEvent(opening);
        }
        const int signal = waitForSignals(opening, portArmed, timeUntil(lookAtFrame));
        if (opening.halted() || signal == 0) {
            return;  // halted, or shut down: the thread ends here
        }
        if (signal == 1) {
            receiver.receive();
        } else if (signal == 2) {
            receiver.frameSent();
            // A frame written whole is followed out of the output queue.
            lookAtFrame = performWrite(opening) ? Clock::now() : kNoFrameLeaving;
        } else if (signal == -1) {
            // The wait itself failed; try again, but without burning the processor.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (Clock::now() >= lookAtFrame) {
            lookAtFrame =
                measureOutput(opening) ? Clock::now() + kLookAtLeavingFrame : kNoFrameLeaving;
        }
    }
}

bool SerialPort::beginWaitForPortEvent(PortOpening& opening) {
    for (;;) {
        if (!opening.beginPortUse()) {
            return false;
        }
        comm::Port& port = opening.port();
        const comm::WaitStart start = port.beginEventWait(opening.commEvent());
        if (start == comm::WaitStart::Failed && port.hungUp()) {
            // A port that cannot even be watched has gone (a removed adapter fails the
            // question itself): the loop must wake to tell so, not sleep in a wait that no
            // device will end.
            opening.commEvent().set();
        }
        if (start != comm::WaitStart::CompletedAtOnce) {
            opening.endPortUse();
            return start == comm::WaitStart::Pending;
        }
        std::size_t waiting = 0;
        port.bytesWaiting(waiting);
        opening.endPortUse();
        if (waiting > 0) {
            return false;  // the completion has set commEvent: the wait returns at once
        }
        // Completed with nothing received: a stale event, begin the next wait at once.
    }
}

int SerialPort::waitForSignals(PortOpening& opening, bool portArmed,
                               std::optional<std::chrono::milliseconds> timeout) {
    const std::array<comm::Event*, 4> waitObjects{&opening.shutdownEvent(), &opening.commEvent(),
                                                  &opening.writeEvent(), &opening.haltEvent()};
    if (!portArmed) {
        return timeout ? comm::waitForAny(waitObjects, *timeout) : comm::waitForAny(waitObjects);
    }
    if (!opening.beginPortUse()) {
        return -1;
    }
    const int signal = opening.port().waitForAny(waitObjects, timeout);
    opening.endPortUse();
    return signal;
}

bool SerialPort::performWrite(PortOpening& opening) {
    opening.writeEvent().reset();
    const std::vector<std::uint8_t> frame = opening.takeWriteFrame();
    comm::WriteResult result;
    {
        std::lock_guard lock(opening.portLock());
        if (!opening.beginPortUse()) {
            return false;  // no device (failed opening) or halted: the frame is dropped
        }
        // Whatever the device sent before this frame belongs to no answer to it.
        opening.port().purge();
        result = opening.port().write(frame, &opening.haltEvent());
        opening.endPortUse();
    }
    if (result.error) {
        opening.raise(*result.error);
    }
    if (frame.empty() || result.written < frame.size()) {
        return false;
    }
    opening.frameWritten(frame.size());
    return true;
}

bool SerialPort::measureOutput(PortOpening& opening) {
    if (!opening.beginPortUse()) {
        return false;
    }
    std::size_t queued = 0;
    const bool known = opening.port().bytesQueuedForOutput(queued);
    opening.endPortUse();
    return known && opening.outputQueued(queued);
}

}  // namespace dravolin
