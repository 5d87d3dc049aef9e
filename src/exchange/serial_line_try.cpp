#include "exchange/serial_line_try.h"

#include "protocol/path_text.h"

namespace dravolin {

namespace {

constexpr int kSearchPort = 1;  // the one Com port of the search's own port map

// A try shows nothing: the search tells the operator what it tries and what it found.
class SilentView : public ExchangeView {
public:
    void setStatusText(TextId) override {}
    void setStatusTextWith(TextId, const std::string&) override {}
    void showMessageBox(TextId, MessageIcon, Closed closed) override { closed(); }
    void chooseFile(const FileDialogRequest&, FileAnswer answer) override { answer({}); }
    void clearFileList(TextId) override {}
    void appendFileListEntry(const std::string&) override {}
    void showFileList(int) override {}
    void grayMainMenus() override {}
    void enableMainMenus() override {}
    void disableFunctionChoice() override {}
    void enableFunctionChoice() override {}
    void setStartItem(bool) override {}
    void redrawMenuBar() override {}
    void resetFunctionChoice() override {}
    void showProgress(const TransferProgress&) override {}
    void hideProgress() override {}
    void setCancelAvailable(bool) override {}
};

}  // namespace

SerialLineTry::SerialLineTry(WarningPresenter& presenter)
    : port_(presenter), view_(std::make_unique<SilentView>()), exchange_(*view_, port_, settings_) {
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
    const ExchangeOutcome& ended = exchange_.outcome();
    if (ended.cancelled) {
        return TryOutcome::of(Kind::Cancelled);
    }
    if (ended.letter == kStatusAccepted) {
        return TryOutcome::answered(static_cast<int>(ended.names.size()));
    }
    if (ended.lineGone) {
        return TryOutcome::unusable(
            port_.openFailure() ? port_.openFailure()->text
                                : FilledText{TextId::DeviceGone, {shownPath(request_.devicePath)}});
    }
    if (ended.lineErrors) {
        return TryOutcome::of(Kind::LineErrors);
    }
    if (ended.refused) {
        return TryOutcome::refused(ended.letter);
    }
    // Part of a reply that then stops, or a reply that fails its checks, is no answer, but
    // is worth telling apart from a line where nothing came.
    return TryOutcome::of(ended.heardAnything ? Kind::Garbage : Kind::Silence);
}

}  // namespace dravolin
