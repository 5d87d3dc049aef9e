#include "serial/port_opening.h"

#include <algorithm>
#include <utility>

namespace dravolin {

namespace {

std::atomic<std::uint64_t> lastWarningId{0};

constexpr const char* kWarningCaption = "Application Error";

}  // namespace

PortOpening::PortOpening(LinkClient& client, int portNumber, const LineTiming& line,
                         WarningPresenter& presenter, comm::Event& arrivals,
                         std::unique_ptr<comm::Port> port)
    : client_(client),
      portNumber_(portNumber),
      line_(line),
      presenter_(presenter),
      arrivals_(arrivals),
      port_(std::move(port)) {}

bool PortOpening::signalsValid() const {
    return shutdownEvent_.valid() && commEvent_.valid() && writeEvent_.valid() &&
           haltEvent_.valid();
}

std::optional<LinkError> PortOpening::openDevice(const std::string& devicePath) {
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
    writeBuffer_.assign(frame.begin(), frame.end());
    ++framesPlaced_;
    frameWritten_ = 0;
    frameLeftTold_ = 0;
    // Read before this frame goes out: an answer to something earlier, or noise. Errors on
    // the line still say that its settings probably differ.
    news_.bytes.clear();
    news_.frameLeft.reset();
}

std::vector<std::uint8_t> PortOpening::takeWriteFrame() {
    std::lock_guard lock(stateMutex_);
    framesTaken_ = framesPlaced_;
    return std::exchange(writeBuffer_, {});
}

void PortOpening::frameWritten(std::size_t written) {
    std::lock_guard lock(stateMutex_);
    if (framesTaken_ == framesPlaced_) {
        frameWritten_ = written;
    }
}

bool PortOpening::outputQueued(std::size_t queued) {
    std::lock_guard lock(stateMutex_);
    if (framesTaken_ != framesPlaced_ || halted_) {
        return false;
    }
    const std::size_t left = frameWritten_ - std::min(queued, frameWritten_);
    if (left > frameLeftTold_) {
        frameLeftTold_ = left;
        news_.frameLeft = left;
        signalArrivals();
    }
    return left < frameWritten_;
}

bool PortOpening::post(std::vector<std::uint8_t> run, std::size_t lineErrors) {
    std::lock_guard lock(stateMutex_);
    if (halted_) {
        return false;
    }
    // Read before the frame placed last was taken: see placeWriteRequest.
    if (framesTaken_ != framesPlaced_) {
        run.clear();
    }
    news_.bytes.insert(news_.bytes.end(), run.begin(), run.end());
    news_.lineErrors += lineErrors;
    signalArrivals();
    return true;
}

bool PortOpening::tellHungUp() {
    std::lock_guard lock(stateMutex_);
    if (halted_) {
        return false;
    }
    if (!hungUpTold_ && port_->isOpen() && port_->hungUp()) {
        hungUpTold_ = true;
        news_.hungUp = true;
        signalArrivals();
    }
    return true;
}

void PortOpening::raise(const LinkError& error) {
    std::lock_guard lock(stateMutex_);
    if (halted_ || !mayWarn()) {
        return;
    }
    ++warnings_;
    news_.warning = error;
    signalArrivals();
}

bool PortOpening::mayWarn() const {
    return warnings_ == 0 && !port_->hungUp();
}

void PortOpening::signalArrivals() {
    // Signalled under the state lock: halt() takes it too, so once an opening is halted it
    // never signals again and the SerialPort that owns the signal may go.
    arrivals_.set();
}

void PortOpening::tellClient() {
    News news;
    {
        std::lock_guard lock(stateMutex_);
        if (halted_) {
            return;
        }
        news = std::exchange(news_, News{});
    }
    // The client may close the port on hearing one part (and open another): what follows
    // belongs to a link that is closed.
    if (news.frameLeft) {
        client_.frameLeft(*news.frameLeft);
    }
    if ((!news.bytes.empty() || news.lineErrors > 0) && !halted()) {
        client_.received(news.bytes, news.lineErrors);
    }
    if (news.hungUp && !halted()) {
        client_.hungUp();
    }
    if (news.warning) {
        present(*news.warning);
    }
}

void PortOpening::reportError(const LinkError& error) {
    {
        std::lock_guard lock(stateMutex_);
        if (!mayWarn()) {
            return;
        }
        ++warnings_;
    }
    presenter_.presentWarning(++lastWarningId, kWarningCaption, error.warningText(portNumber_),
                              [] {});
}

void PortOpening::present(const LinkError& error) {
    const std::uint64_t id = ++lastWarningId;
    {
        std::lock_guard lock(stateMutex_);
        if (halted_) {
            return;  // closed before it could be shown: it is never put up
        }
        openWarning_ = id;
    }
    std::weak_ptr<PortOpening> self = weak_from_this();
    presenter_.presentWarning(id, kWarningCaption, error.warningText(portNumber_), [self, id] {
        if (const std::shared_ptr<PortOpening> opening = self.lock()) {
            opening->warningAnswered(id);
        }
    });
}

void PortOpening::warningAnswered(std::uint64_t id) {
    std::lock_guard lock(stateMutex_);
    if (openWarning_ == id) {
        openWarning_ = 0;
    }
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
        withdrawId = std::exchange(openWarning_, 0);
    }
    haltEvent_.set();
    // A warning about a link that is closed means nothing any more.
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
