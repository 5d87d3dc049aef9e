#include "exchange/exchange.h"

#include <algorithm>

#include "protocol/escaped_name.h"
#include "protocol/path_text.h"
#include "protocol/reply_waits.h"
#include "protocol/safe_file_name.h"
#include "protocol/tag_data_file.h"
#include "serial/serial_port.h"

namespace dravolin {

namespace {

constexpr int kProgressTickMs = 100;

}  // namespace

Exchange::Exchange(ExchangeView& view, SerialPort& port, const PortSettings& settings)
    : view_(view), port_(port), settings_(settings) {
    for (QTimer* timer : {&replyTimer_, &stallTimer_, &pauseTimer_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    progressTick_.setInterval(kProgressTickMs);
    QObject::connect(&replyTimer_, &QTimer::timeout, &replyTimer_, [this] { waitTimedOut(); });
    QObject::connect(&stallTimer_, &QTimer::timeout, &stallTimer_, [this] { replyStalled(); });
    QObject::connect(&pauseTimer_, &QTimer::timeout, &pauseTimer_, [this] { restoreIdleWindow(); });
    QObject::connect(&progressTick_, &QTimer::timeout, &progressTick_,
                     [this] { refreshProgress(); });
}

Exchange::~Exchange() {
    // Ending the program during an exchange: the port must not go on delivering to an
    // object that is gone.
    if (machine_.linkOpen()) {
        port_.closePort();
    }
}

// ---- Starting

void Exchange::startExchange(int function, Next next) {
    // No function chosen: nothing would unlock the window again.
    if (function == kReceiveFunction || function == kSendFunction) {
        ExchangeRequest request;
        request.kind = function == kReceiveFunction ? ExchangeRequest::Kind::Receive
                                                    : ExchangeRequest::Kind::Send;
        start(std::move(request), std::move(next));
    }
}

void Exchange::start(ExchangeRequest request, Next next) {
    if (busy()) {
        return;
    }
    stage_ = Stage::Running;
    pauseSkipped_ = false;
    outcome_ = ExchangeOutcome{};
    causeLine_.clear();
    next_ = std::move(next);
    request.line =
        LineTiming{settings_.baudRate, static_cast<char>(settings_.parity), settings_.stopBits};
    request_ = request;
    state_.stage = ExchangeState::Stage::Running;
    state_.names.clear();
    state_.cancelAvailable = true;
    showState();
    beginRecord(request);
    if (request.kind == ExchangeRequest::Kind::Fetch && !request.wantedName.empty()) {
        // To the machine a get is a receive that wants a name: the listing first.
        request.kind = ExchangeRequest::Kind::Receive;
    }
    apply(machine_.start(request));
}

// ---- The operator

void Exchange::chooseListedFile(int selection) {
    if (!awaitingFileChoice()) {
        return;
    }
    // Once a name is picked the list means nothing until the next listing.
    state_.stage = ExchangeState::Stage::Running;
    showState();
    apply(machine_.entryChosen(selection));
}

void Exchange::showStatus(FilledText text) {
    state_.status = std::move(text);
    showState();
}

void Exchange::holdWindow() {
    if (!busy()) {
        state_.stage = ExchangeState::Stage::Running;
        state_.cancelAvailable = false;
        showState();
    }
}

void Exchange::releaseWindow(bool resetChoices) {
    if (busy()) {
        return;
    }
    if (resetChoices) {
        state_.stage = ExchangeState::Stage::Outcome;
        state_.namesShown = false;
        state_.status = FilledText{TextId::StatusIdle, {}};
        showState();
    }
    state_.stage = ExchangeState::Stage::Idle;
    showState();
}

void Exchange::cancel() {
    if (cancellable()) {
        apply(machine_.cancel());
    }
}

void Exchange::abandon() {
    if (cancellable()) {
        pauseSkipped_ = true;
        cancel();
    } else if (stage_ == Stage::ShowingOutcome) {
        // The outcome is on screen: the program ends without waiting for the pause.
        pauseSkipped_ = true;
        if (pauseTimer_.isActive()) {
            pauseTimer_.stop();
            restoreIdleWindow();
        }
    }
}

// ---- Carrying out the machine's actions

void Exchange::apply(MachineActions actions) {
    // An action may lead straight to the next event (a view that answers at once): its
    // actions queue up behind the ones still to do, so that all keep their order.
    std::move(actions.begin(), actions.end(), std::back_inserter(pending_));
    if (applying_) {
        return;
    }
    applying_ = true;
    while (!pending_.empty()) {
        const MachineAction action = std::move(pending_.front());
        pending_.pop_front();
        carryOut(action);
    }
    applying_ = false;
}

void Exchange::carryOut(const MachineAction& action) {
    using Kind = MachineAction::Kind;
    switch (action.kind) {
        case Kind::OpenLink:
            openLink();
            break;
        case Kind::CloseLink:
            closeLink();
            break;
        case Kind::Send:
            sendFrame(action.bytes);
            break;
        case Kind::ArmWait:
            armWait(action.threshold, action.milliseconds);
            break;
        case Kind::ArmStall:
            armStall(action.milliseconds);
            break;
        case Kind::DisarmWait:
            endWait();
            break;
        case Kind::AskFile:
            askForFile(action);
            break;
        case Kind::LoadFile:
            loadFile(action.path);
            break;
        case Kind::Save:
            saveFile(action);
            break;
        case Kind::Progress:
            showProgress(action);
            break;
        case Kind::ListNames:
            listNames(action.names);
            break;
        case Kind::End:
            finish(action.outcome);
            break;
    }
}

void Exchange::openLink() {
    // A port that cannot be opened still ends the exchange at its reply time-out, with 'N';
    // the operator is also told why.
    const bool opened = port_.openPort(*this, settings_.port, request_.line);
    if (!opened && port_.openFailure()) {
        causeLine_ = MessageCatalog(language()).lookup(port_.openFailure()->text);
    }
    port_.startMonitoring();
    lineGone_ = false;
    record_.lineUsed = true;
    linkOpenedAt_ = std::chrono::steady_clock::now();
    notify([opened](ExchangeObserver& observer) { observer.linkOpened(opened); });
    if (!opened) {
        apply(machine_.linkFailed());
    }
}

void Exchange::closeLink() {
    port_.closePort();
    record_.duration += std::chrono::steady_clock::now() - linkOpenedAt_;
    lineGone_ = false;
    notify([](ExchangeObserver& observer) { observer.linkClosed(); });
}

void Exchange::sendFrame(const Bytes& frame) {
    frameSentAt_ = std::chrono::steady_clock::now();
    frameWritten_ = 0;
    frameLeftTold_ = 0;
    // What the link has not told yet answers nothing that is asked now: it drops it.
    notify([&frame](ExchangeObserver& observer) { observer.frameSent(frame); });
    port_.requestWrite(frame);
}

void Exchange::armWait(std::size_t threshold, int milliseconds) {
    awaited_ = threshold;
    waitMs_ = milliseconds;
    ++waitNumber_;
    notify([threshold, milliseconds](ExchangeObserver& observer) {
        observer.waitBegan(threshold, milliseconds);
    });
    port_.expectReply(threshold);
    replyTimer_.start(milliseconds);
}

void Exchange::endWait() {
    replyTimer_.stop();
    stallTimer_.stop();
    port_.expectReply(0);
    endProgress();
    notify([](ExchangeObserver& observer) { observer.waitEnded(); });
}

bool Exchange::stillWaitingAfterArrivals(const unsigned& timerNumber) {
    // Bytes that came together with a timer are counted first: they may end the wait, or
    // arm the timer anew (its number moves on).
    const unsigned before = timerNumber;
    port_.takeArrivals();
    feedHangUp();
    return machine_.waiting() && timerNumber == before;
}

void Exchange::waitTimedOut() {
    if (!stillWaitingAfterArrivals(waitNumber_)) {
        return;
    }
    stallTimer_.stop();
    endProgress();
    const std::size_t received = machine_.receivedBytes().size();
    notify([this, received](ExchangeObserver& observer) {
        observer.waitTimedOut(awaited_, received, waitMs_);
    });
    notify([](ExchangeObserver& observer) { observer.waitEnded(); });
    apply(machine_.timedOut());
}

void Exchange::armStall(int milliseconds) {
    ++stallNumber_;
    stallMs_ = milliseconds;
    stallTimer_.start(milliseconds);
}

void Exchange::replyStalled() {
    if (!stillWaitingAfterArrivals(stallNumber_)) {
        return;
    }
    const std::size_t received = machine_.receivedBytes().size();
    notify([this, received](ExchangeObserver& observer) {
        observer.replyStalled(awaited_, received, stallMs_);
    });
    apply(machine_.replyStalled());
}

void Exchange::received(std::span<const std::uint8_t> run, std::size_t lineErrors) {
    if (!machine_.linkOpen()) {
        return;
    }
    // Errors are counted before the bytes that came with them could end the exchange.
    if (lineErrors > 0) {
        apply(machine_.lineErrorsSeen());
    }
    if (!run.empty()) {
        notify([run](ExchangeObserver& observer) { observer.bytesReceived(run); });
        apply(machine_.received(run));
    }
}

void Exchange::hungUp() {
    if (machine_.linkOpen()) {
        lineGone_ = true;
        feedHangUp();
    }
}

void Exchange::feedHangUp() {
    // A line that has gone ends the wait once the bytes it delivered before going count.
    if (lineGone_ && machine_.waiting()) {
        notify([](ExchangeObserver& observer) { observer.lineHungUp(); });
        apply(machine_.hungUp());
    }
}

void Exchange::frameLeft(std::size_t bytes) {
    frameWritten_ = bytes;
    tellFrameLeft();
}

void Exchange::tellFrameLeft() {
    // What the link has handed on may still wait in a buffer (a USB adapter's, or a
    // pseudo-terminal's, which takes a whole file at once): no byte is on its way before
    // the line can have carried it at the configured rate.
    const std::size_t left = std::min(frameWritten_, lineBytesSinceFrame());
    if (machine_.linkOpen() && left > frameLeftTold_) {
        frameLeftTold_ = left;
        apply(machine_.frameLeft(left));
    }
}

std::size_t Exchange::lineBytesSinceFrame() const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - frameSentAt_);
    const long long bitsPerSecond = request_.line.baudRate;
    return static_cast<std::size_t>(elapsed.count() * bitsPerSecond /
                                    (1'000'000LL * bitsPerByte(request_.line)));
}

void Exchange::askForFile(const MachineAction& action) {
    std::weak_ptr<bool> alive = alive_;
    auto chosen = [this, alive](std::vector<std::string> paths) {
        if (alive.expired()) {
            return;
        }
        const auto phase = machine_.phase();
        if (!paths.empty() && (phase == ExchangeMachine::Phase::AskingOpen ||
                               phase == ExchangeMachine::Phase::AskingSave)) {
            showStatus(FilledText{TextId::StatusPleaseWait, {}});
        }
        apply(machine_.fileChosen(paths.empty() ? std::nullopt
                                                : std::optional<std::string>(paths.front())));
    };
    if (request_.kind == ExchangeRequest::Kind::Fetch) {
        chosen({request_.path});  // a program's get named its file
        return;
    }
    FileDialogRequest request;
    if (action.save) {
        request.mode = FileDialogRequest::Mode::Save;
        request.initialName = action.path;
    } else {
        showStatus(FilledText{TextId::StatusChooseFileToSend, {}});
    }
    view_.chooseFile(request, std::move(chosen));
}

void Exchange::loadFile(const std::string& path) {
    // Read before the link is opened: a file short of what its header announces is refused
    // without a byte on the line.
    TagDataFile::LoadResult loaded = TagDataFile::load(pathFromText(path));
    apply(loaded.ok ? machine_.fileLoaded(std::move(loaded.bytes))
                    : machine_.localFailure(loaded.reason));
}

void Exchange::saveFile(const MachineAction& action) {
    const TagDataFile::SaveResult saved = TagDataFile::save(
        pathFromText(action.path), action.bytes,
        action.keepExisting ? FileSaver::IfExists::Keep : FileSaver::IfExists::Replace);
    apply(saved.ok ? machine_.saved() : machine_.localFailure(saved.reason));
}

void Exchange::listNames(const std::vector<DeviceNameField>& names) {
    state_.names.clear();
    for (const DeviceNameField& name : names) {
        state_.names.push_back(nameOf(name));
    }
    if (awaitingFileChoice() && request_.kind == ExchangeRequest::Kind::Fetch) {
        fetchWantedName();
        return;
    }
    if (awaitingFileChoice()) {
        state_.stage = ExchangeState::Stage::Listed;
        state_.namesShown = true;
        state_.status = FilledText{TextId::StatusDirectoryListed, {}};
    }
    showState();
}

void Exchange::fetchWantedName() {
    const std::string& wanted = request_.wantedName;
    const auto listed =
        std::find_if(state_.names.begin(), state_.names.end(), [&wanted](const std::string& name) {
            return name == wanted || trimmedDeviceName(name) == wanted;
        });
    if (listed == state_.names.end()) {
        apply(machine_.endAtListing(ExchangeOutcome::Ending::NotHeld));
    } else if (request_.path.empty()) {
        apply(machine_.endAtListing(ExchangeOutcome::Ending::LocalFailure));
    } else {
        apply(machine_.entryChosen(static_cast<int>(listed - state_.names.begin())));
    }
}

// ---- Progress

void Exchange::showProgress(const MachineAction& action) {
    const auto now = std::chrono::steady_clock::now();
    if (!progressTick_.isActive()) {
        progressMeter_.begin(action.total, action.done, now);
        progressTick_.start();
    }
    progressDone_ = action.done;
    showProgressAt(action.done);
}

void Exchange::refreshProgress() {
    // The time left moves on even while nothing new comes, and a frame the link has handed
    // on goes on leaving at the line's pace.
    if (frameLeftTold_ < frameWritten_) {
        tellFrameLeft();
    }
    showProgressAt(progressDone_);
}

void Exchange::showProgressAt(std::size_t done) {
    const auto now = std::chrono::steady_clock::now();
    const TransferProgress measured = progressMeter_.measure(done, now);
    if (progressMeter_.worthShowing(measured, now)) {
        view_.showProgress(measured);
    }
}

void Exchange::endProgress() {
    if (progressTick_.isActive()) {
        progressTick_.stop();
        view_.showProgress(std::nullopt);
    }
}

// ---- The outcome

void Exchange::finish(const ExchangeOutcome& outcome) {
    outcome_ = outcome;
    outcome_.reason = shownTextNamingPaths(outcome.reason);  // it names files, quotes the system
    using Ending = ExchangeOutcome::Ending;
    const MessageCatalog catalog(language());
    if (outcome.ending == Ending::Gone) {
        const std::string device = port_.portMap().devicePathForName(settings_.portName());
        causeLine_ = catalog.lookup(FilledText{TextId::DeviceGone, {shownPath(device)}});
    }
    if (outcome.unsendable) {
        // The name as the operator gave it, UTF-8 on either system.
        const std::string& path = machine_.localPath();
        const std::string file = path.substr(path.find_last_of("/\\") + 1);
        causeLine_ = catalog.lookup(
            FilledText{outcome.unsendable->notUtf8 ? TextId::NameNotUtf8 : TextId::NameNotSendable,
                       {shownText(file), outcome.unsendable->shown}});
    }
    // A failure with parity or framing errors on the line, or a reply that stopped short:
    // most likely one of the settings is wrong, which the operator can fix, not the device.
    // Nothing the programmer may send in its bytes says so: they are its own.
    const bool failed = !outcome.cancelled() && outcome.letter() != kStatusAccepted;
    const bool settingsSuspect =
        outcome.heard == ExchangeOutcome::Heard::LineErrors || outcome.ending == Ending::ShortReply;
    if (failed && settingsSuspect && causeLine_.empty()) {
        causeLine_ = catalog.lookup(lineSettingsAdvice_);
    }
    if (outcome.ending == Ending::Stalled && causeLine_.empty()) {
        causeLine_ = catalog.lookup(TextId::ReplyStopped);
    }
    // The box alone does not say which file: the operator picked it a while ago, or a
    // program asked for it by a name the list does not hold.
    if (outcome.letter() == 'R' && causeLine_.empty() && !fileAskedFor().empty()) {
        causeLine_ = catalog.lookup(
            FilledText{TextId::FileNotHeld, {escapedName(trimmedDeviceName(fileAskedFor()))}});
    }
    endRecord(outcome);
    stage_ = Stage::ShowingOutcome;
    state_.cancelAvailable = false;
    showState();
    if (outcome.ending == Ending::NothingChosen) {
        // A file dialog was cancelled: nothing happened that an outcome could report.
        resetChoices();
        restoreIdleWindow();
    } else if (outcome.ending == Ending::NoFiles) {
        view_.showBox({.kind = ExchangeBox::Kind::Message,
                       .icon = MessageIcon::Information,
                       .text = {TextId::NoFileSaved, {}}},
                      whileAlive([this] { presentOutcome(); }));
    } else {
        presentOutcome();
    }
}

void Exchange::presentOutcome() {
    if (request_.collected) {
        holdOutcome();
    } else if (outcome_.cancelled()) {
        state_.status = FilledText{TextId::StatusCancelled, {}};
        holdOutcome();
    } else if (const std::optional<TextId> text = outcomeBoxText(outcome_.letter())) {
        view_.showBox(ExchangeBox::outcome(*text, causeLine_), whileAlive([this] {
                          state_.status = outcomeStatus(outcome_.letter());
                          holdOutcome();
                      }));
    } else {
        state_.status = outcomeStatus(outcome_.letter());
        holdOutcome();
    }
}

FilledText Exchange::outcomeStatus(char code) const {
    if (code == kStatusAccepted) {
        if (!outcome_.savedTo.empty()) {
            return {TextId::StatusSaved, {shownPath(outcome_.savedTo)}};
        }
        if (request_.kind == ExchangeRequest::Kind::Send) {
            return {TextId::StatusStored, {escapedName(outcome_.storedAs)}};
        }
        return {TextId::StatusSuccess, {}};
    }
    if (outcomeBoxText(code)) {
        return {TextId::StatusFailure, {}};
    }
    // No box explains this letter: the status line names it, so that the help's table of
    // letters can be used.
    return {TextId::StatusFailureLetter, {shownStatusLetter(code)}};
}

void Exchange::holdOutcome() {
    resetChoices();
    if (outcomePauseMs_ > 0 && !pauseSkipped_ && !request_.collected) {
        pauseTimer_.start(outcomePauseMs_);
    } else {
        restoreIdleWindow();
    }
}

void Exchange::resetChoices() {
    state_.stage = ExchangeState::Stage::Outcome;
    state_.namesShown = false;
    showState();
}

void Exchange::restoreIdleWindow() {
    stage_ = Stage::Idle;
    state_.stage = ExchangeState::Stage::Idle;
    state_.status = FilledText{TextId::StatusIdle, {}};
    showState();
    callNext();
}

void Exchange::callNext() {
    // From the event loop: whoever goes on (the next file of a run) starts afresh.
    if (next_) {
        QTimer::singleShot(0, &pauseTimer_, std::exchange(next_, {}));
    }
}

std::function<void()> Exchange::whileAlive(std::function<void()> call) {
    std::weak_ptr<bool> alive = alive_;
    return [alive, call = std::move(call)] {
        if (!alive.expired()) {
            call();
        }
    };
}

Language Exchange::language() const {
    return settings_.language == 0 ? Language::German : Language::English;
}

// ---- Observers and the record

void Exchange::addObserver(ExchangeObserver& observer) {
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end()) {
        observers_.push_back(&observer);
    }
}

void Exchange::removeObserver(ExchangeObserver& observer) {
    std::erase(observers_, &observer);
}

std::string Exchange::fileAskedFor() const {
    return machine_.fetched() ? machine_.deviceName() : request_.wantedName;
}

void Exchange::beginRecord(const ExchangeRequest& request) {
    record_ = ExchangeRecord{};
    // A program's get is a get whatever becomes of it, also where the name is not listed.
    record_.function = request.kind == ExchangeRequest::Kind::Send ? ExchangeRecord::Function::Put
                       : request.kind == ExchangeRequest::Kind::Find
                           ? ExchangeRecord::Function::Find
                       : !request.wantedName.empty() ? ExchangeRecord::Function::Get
                                                     : ExchangeRecord::Function::List;
    record_.startedAt = std::chrono::system_clock::now();
    record_.devicePath = port_.portMap().devicePathForName(settings_.portName());
    record_.line = settings_;
    notify([this](ExchangeObserver& observer) { observer.exchangeStarted(record_); });
}

void Exchange::endRecord(const ExchangeOutcome& outcome) {
    // One record to an exchange: its one end comes while it runs.
    if (stage_ != Stage::Running) {
        return;
    }
    // A file dialog cancelled before anything went on the line is no exchange to keep.
    if (outcome.cancelled() && !record_.lineUsed) {
        return;
    }
    if (record_.function == ExchangeRecord::Function::Put) {
        record_.pcPath = machine_.localPath();
    } else if (machine_.fetched()) {
        // A file to save was chosen: the receive went on to fetch it.
        record_.function = ExchangeRecord::Function::Get;
        record_.pcPath = machine_.localPath();
    }
    const bool get = record_.function == ExchangeRecord::Function::Get;
    record_.deviceName = get ? fileAskedFor() : machine_.deviceName();
    // A get that did not end well logs what came, not the size the header announced.
    record_.fileBytes = get ? machine_.fileBytesReceived() : machine_.fileBytes();
    record_.outcome = outcome.cancelled() ? kStatusAccepted : outcome.letter();
    record_.cancelled = outcome.cancelled();
    notify([this](ExchangeObserver& observer) { observer.exchangeEnded(record_); });
}

}  // namespace dravolin
