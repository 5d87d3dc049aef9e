#include "serial/serial_port.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "core/port_settings.h"
#include "serial/event_watch.h"
#include "serial/port_opening.h"
#include "serial/run_receiver.h"

namespace dravolin {

namespace {

constexpr std::uint32_t kPortTimeoutMs = 1000;

struct LineEvent {
    unsigned kind;
    unsigned message;
};

// The order in which line events are told, before any received byte.
constexpr std::array<LineEvent, 5> kLineEvents{{
    {EV_CTS, MSG_CTS},
    {EV_RXFLAG, MSG_RXFLAG},
    {EV_BREAK, MSG_BREAK},
    {EV_ERR, MSG_ERR},
    {EV_RING, MSG_RING},
}};

// A start bit, 8 data bits, the parity bit unless there is none, and the stop bits.
std::chrono::microseconds byteTimeFor(int baud, char parity, int stopBits) {
    if (baud <= 0) {
        return std::chrono::microseconds(0);
    }
    const int bits = 1 + 8 + (parity == 'N' ? 0 : 1) + stopBits;
    return std::chrono::microseconds(bits * 1'000'000LL / baud);
}

}  // namespace

SerialPort::SerialPort(WarningPresenter& presenter, PortMap portMap, comm::PortFactory portFactory)
    : presenter_(presenter),
      portMap_(std::move(portMap)),
      portFactory_(portFactory ? std::move(portFactory) : comm::PortFactory(comm::makeSystemPort)) {
}

SerialPort::~SerialPort() {
    // Ends the current opening without waiting: its thread may be blocked handing a byte
    // to this very thread. Halted, it never signals again, so the arrival signal may go.
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
    // On the thread that opens the port, whose event loop hands the bytes to the owner.
    arrivals_ = std::make_unique<comm::Event>();
    if (!arrivals_->valid()) {
        return;  // no monitor thread will start; the exchange ends at its time-out
    }
    arrivalWatch_ = std::make_unique<EventWatch>(*arrivals_, [this] { takeArrivals(); });
}

void SerialPort::takeArrivals() {
    arrivals_->reset();
    if (opening_) {
        opening_->takeArrivals();  // a halted opening has nothing to give
    }
}

void SerialPort::endRunningMonitor() {
    if (opening_) {
        opening_->shutdownEvent().set();
        opening_->halt();  // a thread busy with a delivery to us could not see the shutdown
    }
}

int SerialPort::openPort(PortOwner* owner, int portNumber, int baud, char parity, int dataBits,
                         int stopBits, unsigned eventMask, unsigned writeBufferSize,
                         int rtsControl) {
    endRunningMonitor();
    watchArrivals();
    // Fresh signals, lock and write buffer for this opening; the previous one keeps its own
    // for a thread that may still be leaving. The write buffer is sized to each frame, not
    // to writeBufferSize: data frames are far larger than the 512 bytes asked for.
    static_cast<void>(writeBufferSize);
    std::shared_ptr<PortOpening> previous = std::move(opening_);
    auto opening = std::make_shared<PortOpening>(owner, portNumber, eventMask, presenter_,
                                                 *arrivals_, portFactory_());
    opening->setLineByteTime(byteTimeFor(baud, parity, stopBits));
    opening_ = opening;

    std::lock_guard lock(opening->portLock());
    if (previous) {
        previous->closePort();
    }
    const std::string portName = portNameFor(portNumber);
    const std::string settings = settingsStringFor(baud, parity, dataBits, stopBits);
    const std::string devicePath = portMap_.devicePathForName(portName);
    if (!claimDevice(*opening, devicePath)) {
        return 0;
    }
    configurePort(*opening, settings, rtsControl);
    opening->port().purge();  // also after a failed step
    return 1;
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
    if (!opening.openDevice(devicePath)) {
        const int code = comm::lastError();
        lock_.release();
        openFailure_ = describeOpenFailure(devicePath, code, lockFolder);
        return false;
    }
    openFailure_.reset();
    return true;
}

void SerialPort::configurePort(PortOpening& opening, const std::string& settings, int rtsControl) {
    comm::Port& port = opening.port();
    const comm::Timeouts timeouts{kPortTimeoutMs, kPortTimeoutMs, kPortTimeoutMs, kPortTimeoutMs,
                                  kPortTimeoutMs};
    if (!port.setTimeouts(timeouts)) {
        reportError(opening, "SetCommTimeouts()");
        return;
    }
    if (!port.setEventMask(opening.eventMask())) {
        reportError(opening, "SetCommMask()");
        return;
    }
    comm::LineState state;
    if (!port.readState(state)) {
        reportError(opening, "GetCommState()");
        return;
    }
    state.rtsControl = rtsControl & 3;
    if (!comm::buildLineState(settings, state)) {
        reportError(opening, "BuildCommDCB()");
        return;
    }
    if (!port.applyState(state)) {
        reportError(opening, "SetCommState()");
        return;
    }
    comm::LineState taken;
    opening.setInputMarked(port.readState(taken) && comm::marksLineErrors(taken));
}

void SerialPort::reportError(PortOpening& opening, const char* callName) {
    opening.reportError(callName);
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

void SerialPort::setWriteLength(std::uint32_t length) {
    writeLength_ = length;
}

void SerialPort::requestWrite(std::span<const std::uint8_t> frame) {
    if (!opening_) {
        return;
    }
    // Never more than the caller handed over, whatever the length says.
    const std::size_t count = std::min<std::size_t>(writeLength_, frame.size());
    opening_->placeWriteRequest(frame.first(count));
    opening_->writeEvent().set();
}

std::size_t SerialPort::frameBytesSent() {
    if (!opening_) {
        return 0;
    }
    opening_->measureEvent().set();
    return opening_->frameBytesSent();
}

void SerialPort::expectReply(std::size_t bytes) {
    if (opening_) {
        opening_->expectReply(bytes);
    }
}

void SerialPort::closePort() {
    haltMonitoring();
    if (opening_) {
        opening_->closePort();
    }
    lock_.release();
}

void SerialPort::haltMonitoring() {
    if (opening_) {
        opening_->halt();
    }
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
    while (!opening.halted()) {
        bool portArmed = false;
        if (lineIsDead(opening)) {
            opening.commEvent().reset();  // only the three signals wake the thread now
            opening.tellLineGone();
        } else {
            portArmed = beginWaitForPortEvent(opening);
        }
        const int signal = waitForSignals(opening, portArmed);
        if (opening.halted() || signal == 0) {
            return;  // halted, or shut down: the thread ends here
        }
        if (signal == 1) {
            handlePortEvent(opening, receiver);
        } else if (signal == 2) {
            performWrite(opening, opening.writeLength());
            receiver.frameSent();
        } else if (signal == 4) {
            measureOutput(opening);
        } else if (signal < 0) {
            // The wait itself failed; try again, but without burning the processor.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

bool SerialPort::lineIsDead(PortOpening& opening) {
    // The one place where the loop learns that the device has gone (hung up, removed, or
    // failing with I/O errors), or that there never was one: it is watched no more.
    return !opening.watchingPort();
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

int SerialPort::waitForSignals(PortOpening& opening, bool portArmed) {
    const std::array<comm::Event*, 5> waitObjects{&opening.shutdownEvent(), &opening.commEvent(),
                                                  &opening.writeEvent(), &opening.haltEvent(),
                                                  &opening.measureEvent()};
    if (!portArmed) {
        return comm::waitForAny(waitObjects);
    }
    if (!opening.beginPortUse()) {
        return -1;
    }
    const int signal = opening.port().waitForAny(waitObjects);
    opening.endPortUse();
    return signal;
}

void SerialPort::handlePortEvent(PortOpening& opening, RunReceiver& receiver) {
    // The mask as configured decides, not what happened: CTS is told on every event.
    unsigned mask = 0;
    if (!opening.beginPortUse()) {
        return;
    }
    const bool known = opening.port().eventMask(mask);
    opening.endPortUse();
    if (!known) {
        return;
    }
    std::vector<PortMessage> lineEvents;
    for (const LineEvent& event : kLineEvents) {
        if ((mask & event.kind) != 0) {
            lineEvents.push_back(PortMessage{event.message, 0});
        }
    }
    // The line events go ahead of the bytes, in the same hand-over as the first of them.
    if ((mask & EV_RXCHAR) != 0) {
        receiver.receive(std::move(lineEvents));
    } else if (!lineEvents.empty()) {
        opening.deliver(std::move(lineEvents));
    }
}

void SerialPort::performWrite(PortOpening& opening, std::uint32_t length) {
    opening.writeEvent().reset();
    const std::vector<std::uint8_t> frame = opening.takeWriteFrame(length);
    std::lock_guard lock(opening.portLock());
    if (!opening.beginPortUse()) {
        return;  // no device (failed opening) or halted: the frame is dropped
    }
    // Whatever the device sent before this frame belongs to no answer to it.
    opening.port().purge();
    const comm::WriteOutcome outcome = opening.port().write(frame, &opening.haltEvent());
    if (outcome == comm::WriteOutcome::Written) {
        opening.frameWritten(frame.size());
    }
    opening.endPortUse();
    if (outcome == comm::WriteOutcome::FailedAtOnce) {
        reportError(opening, "WriteFile()");
    }
}

void SerialPort::measureOutput(PortOpening& opening) {
    opening.measureEvent().reset();
    if (!opening.beginPortUse()) {
        return;
    }
    std::size_t queued = 0;
    const bool known = opening.port().bytesQueuedForOutput(queued);
    opening.endPortUse();
    if (known) {
        opening.outputQueued(queued);
    }
}

}  // namespace dravolin
