#include "serial/port_opening.h"

#include <algorithm>
#include <utility>

namespace dravolin {

namespace {

std::atomic<std::uint64_t> lastWarningId{0};

constexpr const char* kWarningCaption = "Application Error";

}  // namespace

PortOpening::PortOpening(PortOwner* owner, int portNumber, unsigned eventMask,
                         WarningPresenter& presenter, comm::Event& arrivals,
                         std::unique_ptr<comm::Port> port)
    : owner_(owner),
      portNumber_(portNumber),
      eventMask_(eventMask),
      presenter_(presenter),
      arrivals_(arrivals),
      interfaceThread_(std::this_thread::get_id()),
      port_(std::move(port)) {}

bool PortOpening::signalsValid() const {
    return shutdownEvent_.valid() && commEvent_.valid() && writeEvent_.valid() &&
           haltEvent_.valid() && measureEvent_.valid();
}

bool PortOpening::openDevice(const std::string& devicePath) {
    std::lock_guard lock(stateMutex_);
    return port_->open(devicePath);
}

bool PortOpening::watchingPort() {
    std::lock_guard lock(stateMutex_);
    return !halted_ && port_->isOpen() && !port_->hungUp();
}

bool PortOpening::beginPortUse() {
    std::lock_guard lock(stateMutex_);
    if (halted_ || !port_->isOpen()) {
        return false;
    }
    portInUse_ = true;
    return true;
}

void PortOpening::endPortUse() {
    std::lock_guard lock(stateMutex_);
    portInUse_ = false;
    if (closeWanted_) {
        // closePort came while the device was in use; its descriptor goes only now, so
        // this thread never works on a number that the system has handed out again.
        port_->close();
        closeWanted_ = false;
    }
}

void PortOpening::placeWriteRequest(std::span<const std::uint8_t> frame) {
    std::lock_guard lock(stateMutex_);
    // Sized to the frame: a data frame is far larger than the size asked for at opening.
    writeBuffer_.assign(frame.begin(), frame.end());
    ++framesPlaced_;
    frameWritten_ = 0;
    frameBytesSent_ = 0;
}

std::uint32_t PortOpening::writeLength() {
    std::lock_guard lock(stateMutex_);
    return static_cast<std::uint32_t>(writeBuffer_.size());
}

std::vector<std::uint8_t> PortOpening::takeWriteFrame(std::uint32_t length) {
    std::lock_guard lock(stateMutex_);
    const std::size_t count = std::min<std::size_t>(length, writeBuffer_.size());
    framesTaken_ = framesPlaced_;
    return std::vector<std::uint8_t>(writeBuffer_.begin(), writeBuffer_.begin() + count);
}

void PortOpening::frameWritten(std::size_t written) {
    std::lock_guard lock(stateMutex_);
    if (framesTaken_ == framesPlaced_) {
        frameWritten_ = written;
    }
}

void PortOpening::outputQueued(std::size_t queued) {
    std::lock_guard lock(stateMutex_);
    if (framesTaken_ == framesPlaced_) {
        const std::size_t sent = frameWritten_ - std::min(queued, frameWritten_);
        frameBytesSent_ = std::max(frameBytesSent_, sent);
    }
}

std::size_t PortOpening::frameBytesSent() {
    std::lock_guard lock(stateMutex_);
    return frameBytesSent_;
}

bool PortOpening::deliver(std::vector<PortMessage> messages) {
    std::unique_lock lock(stateMutex_);
    if (halted_) {
        return false;
    }
    if (owner_ == nullptr || messages.empty()) {
        return true;
    }
    const std::uint64_t serial = ++deliveriesPosted_;
    delivery_ = std::move(messages);
    deliveryFrames_ = framesTaken_;
    // Signalled under the state lock: halt() takes it too, so once an opening is halted it
    // never signals again and the SerialPort that owns the signal may go.
    arrivals_.set();
    stateChanged_.wait(lock, [&] { return halted_ || deliveriesHandled_ >= serial; });
    return !halted_;
}

void PortOpening::takeArrivals() {
    std::vector<PortMessage> messages;
    std::uint64_t serial = 0;
    std::uint64_t warningId = 0;
    std::string warningText;
    bool bytesBeforeFrame = false;
    {
        std::lock_guard lock(stateMutex_);
        if (deliveriesTaken_ < deliveriesPosted_) {
            serial = deliveriesTaken_ = deliveriesPosted_;
            messages = std::move(delivery_);
            bytesBeforeFrame = deliveryFrames_ < framesPlaced_;
            delivery_.clear();
        }
        if (warningWaiting_) {
            warningWaiting_ = false;
            warningId = warning_.id;
            warningText = std::move(warningText_);
        }
    }
    if (serial != 0) {
        handOver(serial, messages, bytesBeforeFrame);
    }
    if (warningId != 0) {
        presentForMonitor(warningId, warningText);
    }
}

void PortOpening::handOver(std::uint64_t serial, const std::vector<PortMessage>& messages,
                           bool bytesBeforeFrame) {
    // A delivery still on its way when the opening was halted is dropped: its bytes belong
    // to a link that is closed, and handed to the owner later they would be taken as the
    // answer to whatever it asks next. halt() runs on this thread, so the owner can only
    // halt the opening from inside one of these calls; what follows is dropped then too.
    for (const PortMessage& message : messages) {
        if (halted()) {
            break;
        }
        // Read before the frame the owner sent last went out: an answer to something
        // earlier, or noise; taken now it would count as the answer to that frame.
        if (bytesBeforeFrame && message.message == MSG_RX_CHAR) {
            continue;
        }
        owner_->portMessage(message.message, message.firstParameter, portNumber_);
    }
    {
        std::lock_guard lock(stateMutex_);
        deliveriesHandled_ = serial;
    }
    stateChanged_.notify_all();
}

std::string PortOpening::warningText(const std::string& callName, int errorCode, int portNumber) {
    std::string systemText = comm::errorText(errorCode);
    if (systemText.empty()) {
        systemText = "Error " + std::to_string(errorCode);
    }
    return "WARNING:  " + callName + " Failed with the following error: \n" + systemText +
           "\nPort: " + std::to_string(portNumber) + "\n";
}

void PortOpening::reportError(const char* callName) {
    const std::string text = warningText(callName, comm::lastError(), portNumber_);
    {
        std::lock_guard lock(stateMutex_);
        // A device that has gone fails every call from now on: one warning is enough.
        if (port_->hungUp() && warningsShown_ > 0) {
            return;
        }
    }
    if (std::this_thread::get_id() == interfaceThread_) {
        presentHere(text);
        return;
    }
    // The owner hears that the device has gone before the warning waits for an answer.
    if (!tellLineGone()) {
        return;
    }
    askInterfaceThread(text);
}

bool PortOpening::tellLineGone() {
    {
        std::lock_guard lock(stateMutex_);
        if (halted_) {
            return false;
        }
        if (lineGoneTold_ || !port_->isOpen() || !port_->hungUp()) {
            return true;
        }
        lineGoneTold_ = true;
    }
    return deliver({PortMessage{MSG_LINE_GONE, 0}});
}

void PortOpening::presentHere(const std::string& text) {
    // Put up, not waited for: the interface thread runs no event loop of its own for a box,
    // so the exchange that caused it goes on (to its end) while the operator reads it.
    {
        std::lock_guard lock(stateMutex_);
        ++warningsShown_;
    }
    presenter_.presentWarning(++lastWarningId, kWarningCaption, text, [] {});
}

void PortOpening::askInterfaceThread(const std::string& text) {
    std::unique_lock lock(stateMutex_);
    if (halted_) {
        return;
    }
    ++warningsShown_;
    warning_ = WarningState{++lastWarningId, false, false};
    warningText_ = text;
    warningWaiting_ = true;
    arrivals_.set();
    stateChanged_.wait(lock, [&] { return halted_ || warning_.answered; });
}

void PortOpening::presentForMonitor(std::uint64_t id, const std::string& text) {
    {
        std::lock_guard lock(stateMutex_);
        if (halted_ || warning_.id != id) {
            return;  // halted before it could be shown: it is never put up
        }
        warning_.presented = true;
    }
    std::shared_ptr<PortOpening> self = shared_from_this();
    presenter_.presentWarning(id, kWarningCaption, text, [self, id] { self->warningAnswered(id); });
}

void PortOpening::warningAnswered(std::uint64_t id) {
    {
        std::lock_guard lock(stateMutex_);
        if (warning_.id != id) {
            return;
        }
        warning_.answered = true;
    }
    stateChanged_.notify_all();
}

bool PortOpening::claimMonitor() {
    std::lock_guard lock(stateMutex_);
    if (halted_ || monitorClaimed_) {
        return false;
    }
    monitorClaimed_ = true;
    return true;
}

void PortOpening::halt() {
    std::uint64_t withdrawId = 0;
    {
        std::lock_guard lock(stateMutex_);
        halted_ = true;
        if (warning_.presented && !warning_.answered) {
            withdrawId = warning_.id;
        }
        warning_ = WarningState{};
    }
    haltEvent_.set();
    stateChanged_.notify_all();
    if (withdrawId != 0) {
        presenter_.withdrawWarning(withdrawId);
    }
}

bool PortOpening::halted() {
    std::lock_guard lock(stateMutex_);
    return halted_;
}

void PortOpening::closePort() {
    halt();
    std::lock_guard lock(stateMutex_);
    if (!port_->isOpen()) {
        return;
    }
    if (portInUse_) {
        port_->handBack();
        closeWanted_ = true;
    } else {
        port_->close();
    }
}

}  // namespace dravolin
