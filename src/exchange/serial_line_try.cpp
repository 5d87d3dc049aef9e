#include "exchange/serial_line_try.h"

#include "protocol/path_text.h"

namespace dravolin {

namespace {

constexpr int kSearchPort = 1;  // the one Com port of the search's own port map

}  // namespace

SerialLineTry::SerialLineTry(WarningPresenter& presenter)
    : port_(presenter), exchange_(view_, port_, settings_) {
    exchange_.setOutcomePause(0);
    settings_.port = kSearchPort;
}

SerialLineTry::~SerialLineTry() = default;

void SerialLineTry::start(const TryRequest& request, Done done) {
    request_ = request;
    done_ = std::move(done);
    PortMap map;
    map.map(kSearchPort, request.devicePath);
    port_.setPortMap(std::move(map));
    settings_.baudRate = request.line.baudRate;
    settings_.parity = request.line.parity;
    settings_.stopBits = request.line.stopBits;
    ExchangeRequest find;
    find.kind = ExchangeRequest::Kind::Find;
    find.collected = true;
    find.shortFirstWait = request.shortFirstWait;
    // A cancelled try's end arrives after the search was told: it must not end the next.
    exchange_.start(std::move(find), [this, number = ++tries_] {
        if (number == tries_) {
            end();
        }
    });
}

void SerialLineTry::cancel() {
    // The search hears of its cancel at once; the exchange's own end, a moment later, then
    // finds nobody waiting.
    if (done_ && exchange_.cancellable()) {
        exchange_.abandon();
        end();
    }
}

void SerialLineTry::end() {
    if (done_) {
        // The search may start the next try, or end and take this object with it.
        std::exchange(done_, {})(outcome());
    }
}

TryOutcome SerialLineTry::outcome() const {
    using Kind = TryOutcome::Kind;
    using Ending = ExchangeOutcome::Ending;
    using Heard = ExchangeOutcome::Heard;
    const ExchangeOutcome& ended = exchange_.outcome();
    switch (ended.ending) {
        case Ending::Cancelled:
        case Ending::NothingChosen:
            return TryOutcome::of(Kind::Cancelled);
        case Ending::Success:
        case Ending::NoFiles:
            return TryOutcome::answered(static_cast<int>(ended.names.size()));
        case Ending::Gone:
            return TryOutcome::unusable(
                port_.openFailure()
                    ? port_.openFailure()->text
                    : FilledText{TextId::DeviceGone, {shownPath(request_.devicePath)}});
        default:
            break;
    }
    if (ended.heard == Heard::LineErrors) {
        return TryOutcome::of(Kind::LineErrors);
    }
    if (ended.ending == Ending::Refused) {
        return TryOutcome::refused(ended.letter());
    }
    return TryOutcome::of(ended.heard == Heard::Bytes ? Kind::Garbage : Kind::Silence);
}

}  // namespace dravolin
