#include "exchange/serial_line_try.h"

#include <algorithm>

#include "protocol/replies.h"
#include "protocol/reply_shape.h"
#include "protocol/reply_waits.h"

namespace dravolin {

namespace {

constexpr int kSearchPort = 1;  // the one Com port of the search's own port map
// The serial port tells every kind in the mask on every event, so only received bytes are
// asked for; parity and framing errors come as MSG_LINE_ERROR whatever the mask.
constexpr unsigned kEventMask = EV_RXCHAR;
constexpr unsigned kWriteBufferSize = 512;
constexpr int kRtsControl = 1;

LineTiming timingOf(const LineSettings& line) {
    return LineTiming{line.baudRate, line.parity, line.stopBits};
}

}  // namespace

SerialLineTry::SerialLineTry(WarningPresenter& presenter) : port_(presenter) {
    for (QTimer* timer : {&replyTimer_, &endTimer_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    endTimer_.setInterval(0);
    QObject::connect(&replyTimer_, &QTimer::timeout, &replyTimer_, [this] { waitEnded(); });
    QObject::connect(&endTimer_, &QTimer::timeout, &endTimer_, [this] { finish(); });
}

SerialLineTry::~SerialLineTry() {
    if (linkOpen_) {
        port_.closePort();
    }
}

void SerialLineTry::addObserver(ExchangeObserver& observer) {
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end()) {
        observers_.push_back(&observer);
    }
}

void SerialLineTry::removeObserver(ExchangeObserver& observer) {
    std::erase(observers_, &observer);
}

void SerialLineTry::notify(const std::function<void(ExchangeObserver&)>& call) {
    for (ExchangeObserver* observer : observers_) {
        call(*observer);
    }
}

void SerialLineTry::start(const TryRequest& request, Done done) {
    request_ = request;
    done_ = std::move(done);
    received_.clear();
    reported_ = 0;
    beginRecord();

    PortMap map;
    map.map(kSearchPort, request.devicePath);
    port_.setPortMap(std::move(map));
    const LineSettings& line = request.line;
    const bool opened =
        port_.openPort(this, kSearchPort, line.baudRate, line.parity, 8, line.stopBits, kEventMask,
                       kWriteBufferSize, kRtsControl) != 0;
    linkOpen_ = true;
    notify([opened](ExchangeObserver& observer) { observer.linkOpened(opened); });
    if (!opened) {
        endWith(TryOutcome::unusable(
            port_.openFailure() ? port_.openFailure()->text
                                : FilledText{TextId::PortOtherFailure, {request.devicePath}}));
        return;
    }
    port_.startMonitoring();
    const Bytes request_frame = directoryRequest();
    sendFrame(request_frame);
    const LineTiming timing = timingOf(line);
    // A silent setting is the common case of the search: the short wait allows the line
    // time of the frame and the reply and the device's turnaround, not the protocol's second.
    const int statusMs = request.shortFirstWait
                             ? replyWaitMs(0, request_frame.size(), kStatusReplyLength, timing)
                             : statusWaitMs(request_frame.size(), timing);
    awaitReply(Phase::Status, kStatusReplyLength, statusMs);
}

void SerialLineTry::cancel() {
    // The operator's cancel comes from the event loop, never from inside the port's
    // delivery: the line is closed at once.
    if (phase_ != Phase::Idle && phase_ != Phase::Ending) {
        replyTimer_.stop();
        endTimer_.stop();
        outcome_ = TryOutcome::of(TryOutcome::Kind::Cancelled);
        finish();
    }
}

void SerialLineTry::beginRecord() {
    record_ = ExchangeRecord{};
    record_.function = ExchangeRecord::Function::Find;
    record_.startedAt = std::chrono::system_clock::now();
    record_.devicePath = request_.devicePath;
    record_.line.baudRate = request_.line.baudRate;
    record_.line.parity = request_.line.parity;
    record_.line.stopBits = request_.line.stopBits;
    record_.lineUsed = true;
    started_ = std::chrono::steady_clock::now();
    notify([this](ExchangeObserver& observer) { observer.exchangeStarted(record_); });
}

void SerialLineTry::reportArrivals() {
    if (received_.size() > reported_) {
        const auto fresh = std::span<const std::uint8_t>(received_).subspan(reported_);
        notify([fresh](ExchangeObserver& observer) { observer.bytesReceived(fresh); });
        reported_ = received_.size();
    }
}

void SerialLineTry::sendFrame(const Bytes& frame) {
    reportArrivals();
    received_.clear();
    reported_ = 0;
    notify([&frame](ExchangeObserver& observer) { observer.frameSent(frame); });
    port_.setWriteLength(static_cast<std::uint32_t>(frame.size()));
    port_.requestWrite(frame);
}

void SerialLineTry::awaitReply(Phase phase, std::size_t bytes, int milliseconds) {
    phase_ = phase;
    awaited_ = bytes;
    const int interval = std::max(milliseconds, kShortestWaitMs);
    notify([bytes, interval](ExchangeObserver& observer) { observer.waitBegan(bytes, interval); });
    replyTimer_.start(interval);
    judgeArrivals();
}

long SerialLineTry::portMessage(unsigned message, std::uintptr_t firstParameter,
                                std::intptr_t secondParameter) {
    static_cast<void>(secondParameter);
    if (phase_ == Phase::Idle || phase_ == Phase::Ending) {
        return 0;
    }
    if (message == MSG_RX_CHAR) {
        received_.push_back(static_cast<std::uint8_t>(firstParameter));
        judgeArrivals();
    } else if (message == MSG_LINE_ERROR) {
        endWith(TryOutcome::of(TryOutcome::Kind::LineErrors));
    } else if (message == MSG_LINE_GONE) {
        endWith(TryOutcome::unusable(FilledText{TextId::DeviceGone, {request_.devicePath}}));
    }
    return 0;
}

void SerialLineTry::judgeArrivals() {
    if (phase_ == Phase::Status && cannotBeStatusReply(received_)) {
        endWith(TryOutcome::of(TryOutcome::Kind::Garbage));
        return;
    }
    if (received_.size() < awaited_) {
        return;
    }
    replyTimer_.stop();
    notify([](ExchangeObserver& observer) { observer.waitEnded(); });
    const LineTiming timing = timingOf(request_.line);
    switch (phase_) {
        case Phase::Status: {
            const char letter = statusLetter(received_);
            if (letter != kStatusAccepted) {
                endWith(TryOutcome::refused(letter));
                return;
            }
            sendFrame(goAhead());
            awaitReply(Phase::Header, kDirectoryHeaderLength, directoryHeaderWaitMs(timing));
            return;
        }
        case Phase::Header:
            directoryCount_ = directoryCount(received_);
            if (!isUsableDirectoryCount(directoryCount_)) {
                endWith(TryOutcome::of(TryOutcome::Kind::Garbage));
                return;
            }
            awaitReply(Phase::Entries, directoryReplyLength(directoryCount_),
                       directoryEntriesWaitMs(static_cast<int>(directoryCount_), timing));
            return;
        case Phase::Entries: {
            const DirectoryReply reply = checkDirectoryReply(received_);
            endWith(reply.verdict == ReplyVerdict::Accepted
                        ? TryOutcome::answered(static_cast<int>(reply.count))
                        : TryOutcome::of(TryOutcome::Kind::Garbage));
            return;
        }
        case Phase::Idle:
        case Phase::Ending:
            return;
    }
}

void SerialLineTry::waitEnded() {
    if (phase_ == Phase::Idle || phase_ == Phase::Ending) {
        return;
    }
    const std::size_t awaited = awaited_;
    const std::size_t count = received_.size();
    const int interval = replyTimer_.interval();
    notify([awaited, count, interval](ExchangeObserver& observer) {
        observer.waitTimedOut(awaited, count, interval);
        observer.waitEnded();
    });
    // Part of a reply that then stops is as useless as noise, but is worth telling apart
    // from a line where nothing came.
    endWith(TryOutcome::of(count == 0 ? TryOutcome::Kind::Silence : TryOutcome::Kind::Garbage));
}

void SerialLineTry::endWith(TryOutcome outcome) {
    // Called from inside the port's delivery too: the line is closed, and the search told,
    // once back on the event loop.
    replyTimer_.stop();
    phase_ = Phase::Ending;
    outcome_ = std::move(outcome);
    endTimer_.start();
}

void SerialLineTry::finish() {
    port_.closePort();
    linkOpen_ = false;
    reportArrivals();
    notify([](ExchangeObserver& observer) { observer.linkClosed(); });
    record_.outcome = outcome_.kind == TryOutcome::Kind::Answered  ? kStatusAccepted
                      : outcome_.kind == TryOutcome::Kind::Refused ? outcome_.letter
                                                                   : 'N';
    record_.cancelled = outcome_.kind == TryOutcome::Kind::Cancelled;
    record_.duration = std::chrono::steady_clock::now() - started_;
    notify([this](ExchangeObserver& observer) { observer.exchangeEnded(record_); });
    phase_ = Phase::Idle;
    // The search may start the next try, or end and take this object with it.
    const Done done = std::move(done_);
    const TryOutcome outcome = outcome_;
    done_ = nullptr;
    done(outcome);
}

}  // namespace dravolin
