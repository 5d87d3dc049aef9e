#include "serial/serial_port.h"

#include <QObject>

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "core/port_settings.h"
#include "serial/port_opening.h"

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

std::string describeError(int code) {
    const std::string text = comm::errorText(code);
    return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace

SerialPort::SerialPort(WarningPresenter& presenter, PortMap portMap)
    : presenter_(presenter), portMap_(std::move(portMap)) {}

SerialPort::~SerialPort() {
    // Ends the current opening without waiting: its thread may be blocked handing a byte
    // to this very thread. Then the receiver goes, and with it every delivery not yet begun.
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

std::string SerialPort::lastOpenFailure() const {
    return lastOpenFailure_;
}

void SerialPort::endRunningMonitor() {
    if (opening_ && opening_->threadAlive() != 0) {
        opening_->shutdownEvent().set();
        opening_->halt();  // a thread busy with a delivery to us could not see the shutdown
    }
}

int SerialPort::openPort(PortOwner* owner, int portNumber, int baud, char parity, int dataBits,
                         int stopBits, unsigned eventMask, unsigned writeBufferSize,
                         int rtsControl) {
    endRunningMonitor();
    if (!receiver_) {
        receiver_ = std::make_unique<QObject>();
    }
    // Fresh signals, lock and write buffer for this opening; the previous one keeps its own
    // for a thread that may still be leaving. The write buffer is sized to each frame, not
    // to writeBufferSize: data frames are far larger than the 512 bytes asked for.
    static_cast<void>(writeBufferSize);
    std::shared_ptr<PortOpening> previous = std::move(opening_);
    auto opening =
        std::make_shared<PortOpening>(owner, portNumber, eventMask, presenter_, receiver_.get());
    opening_ = opening;

    std::lock_guard lock(opening->portLock());
    if (previous) {
        previous->closePort();
    }
    const std::string portName = portNameFor(portNumber);
    const std::string settings = settingsStringFor(baud, parity, dataBits, stopBits);
    const std::string devicePath = portMap_.devicePathForName(portName);
    if (!opening->openDevice(devicePath)) {
        lastOpenFailure_ =
            (devicePath.empty() ? portName : devicePath) + ": " + describeError(comm::lastError());
        return 0;
    }
    lastOpenFailure_.clear();
    configurePort(*opening, settings, rtsControl);
    opening->port().purge();  // also after a failed step
    return 1;
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
    }
}

void SerialPort::reportError(PortOpening& opening, const char* callName) {
    opening.reportError(callName);
}

bool SerialPort::startMonitoring() {
    if (!opening_ || !opening_->claimMonitor()) {
        return false;
    }
    std::shared_ptr<PortOpening> opening = opening_;
    try {
        // Detached: nothing ever waits for a monitor thread, and the thread co-owns its
        // opening, so it outlives neither what it uses nor a SerialPort that has gone.
        std::thread([opening]() mutable {
            monitorThread(*opening);
            opening.reset();
            PortOpening::monitorThreadGone();
        }).detach();
    } catch (const std::system_error&) {
        opening_->monitorNotStarted();
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

void SerialPort::closePort() {
    haltMonitoring();
    if (opening_) {
        opening_->closePort();
        opening_->clearThreadAlive();
    }
}

void SerialPort::haltMonitoring() {
    if (opening_) {
        opening_->halt();
    }
}

// ---- the monitor thread

void SerialPort::monitorThread(PortOpening& opening) {
    opening.threadBegins();
    if (!opening.signalsValid()) {
        opening.threadEnds();
        return;
    }
    if (opening.beginPortUse()) {
        opening.port().purge();
        opening.endPortUse();
    }
    while (!opening.halted()) {
        const bool portArmed = beginWaitForPortEvent(opening);
        if (opening.hooks().beforeWait) {
            opening.hooks().beforeWait();
        }
        const int signal = waitForSignals(opening, portArmed);
        if (opening.halted()) {
            break;
        }
        if (signal == 0) {
            opening.threadEndsOnShutdown();
            return;
        }
        if (signal == 1) {
            handlePortEvent(opening);
        } else if (signal == 2) {
            performWrite(opening, opening.writeLength());
        } else if (signal < 0) {
            // The wait itself failed; try again, but without burning the processor.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    opening.threadEnds();
}

bool SerialPort::beginWaitForPortEvent(PortOpening& opening) {
    for (;;) {
        opening.countLoopPass();
        if (!opening.watchingPort()) {
            // No device, or one that has gone: only the three signals wake the thread.
            opening.commEvent().reset();
            opening.tellLineGone();
            return false;
        }
        if (!opening.beginPortUse()) {
            return false;
        }
        comm::Port& port = opening.port();
        const comm::WaitStart start = port.beginEventWait(opening.commEvent());
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
    const std::array<comm::Event*, 4> waitObjects{&opening.shutdownEvent(), &opening.commEvent(),
                                                  &opening.writeEvent(), &opening.haltEvent()};
    int signal = -1;
    if (portArmed) {
        if (!opening.beginPortUse()) {
            return -1;
        }
        signal = comm::waitForAny(waitObjects, &opening.port());
        opening.endPortUse();
    } else {
        signal = comm::waitForAny(waitObjects, nullptr);
    }
    return signal;
}

void SerialPort::handlePortEvent(PortOpening& opening) {
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
    for (const LineEvent& event : kLineEvents) {
        if ((mask & event.kind) != 0 && !opening.deliver({PortMessage{event.message, 0}})) {
            return;
        }
    }
    if ((mask & EV_RXCHAR) != 0) {
        receiveBytes(opening);
    }
}

void SerialPort::receiveBytes(PortOpening& opening) {
    for (;;) {
        std::size_t waiting = 0;
        {
            std::lock_guard lock(opening.portLock());
            if (!opening.beginPortUse()) {
                return;
            }
            opening.port().bytesWaiting(waiting);
            opening.endPortUse();
        }
        if (waiting == 0) {
            return;
        }
        // The bytes waiting now cross to the owner in one hand-over, one message each.
        std::vector<PortMessage> run;
        run.reserve(waiting);
        for (std::size_t i = 0; i < waiting; ++i) {
            std::uint8_t byte = 0;
            if (readOneByte(opening, byte)) {
                run.push_back(PortMessage{MSG_RX_CHAR, byte});
            } else if (opening.halted()) {
                return;
            }
        }
        if (!opening.deliver(std::move(run))) {
            return;
        }
    }
}

bool SerialPort::readOneByte(PortOpening& opening, std::uint8_t& byte) {
    std::lock_guard lock(opening.portLock());
    if (!opening.beginPortUse()) {
        return false;
    }
    const comm::ReadOutcome outcome = opening.port().readByte(byte, &opening.haltEvent());
    opening.endPortUse();
    switch (outcome) {
        case comm::ReadOutcome::Byte:
            return true;
        case comm::ReadOutcome::FailedAtOnce:
            reportError(opening, "ReadFile()");
            return false;
        case comm::ReadOutcome::FailedLate:
            reportError(opening, "GetOverlappedResults() in ReadFile()");
            return false;
        case comm::ReadOutcome::NoByte:
            return false;  // timed out with nothing read: nothing to deliver
    }
    return false;
}

void SerialPort::performWrite(PortOpening& opening, std::uint32_t length) {
    opening.writeEvent().reset();
    const std::vector<std::uint8_t> frame = opening.takeWriteFrame(length);
    std::lock_guard lock(opening.portLock());
    if (!opening.beginPortUse()) {
        return;  // no device (failed opening) or halted: the frame is dropped
    }
    if (opening.hooks().beforeWritePurge) {
        opening.hooks().beforeWritePurge();
    }
    // Whatever the device sent before this frame belongs to no answer to it.
    opening.port().purge();
    const comm::WriteOutcome outcome = opening.port().write(frame, &opening.haltEvent());
    opening.endPortUse();
    if (outcome == comm::WriteOutcome::FailedAtOnce) {
        reportError(opening, "WriteFile()");
    }
}

}  // namespace dravolin
