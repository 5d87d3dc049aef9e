#include "exchange/exchange.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "protocol/device_name.h"
#include "protocol/escaped_name.h"
#include "protocol/replies.h"
#include "protocol/reply_shape.h"
#include "protocol/reply_waits.h"
#include "protocol/tag_data_file.h"
#include "serial/serial_port.h"

namespace dravolin {

namespace {

constexpr int kProgressTickMs = 100;

// The line as the waits for replies reckon with it.
LineTiming lineTimingOf(const PortSettings& settings) {
    return LineTiming{settings.baudRate, static_cast<char>(settings.parity), settings.stopBits};
}

// A name as the device sent it, up to its first NUL, for showing and as the file name
// offered in the save dialog; the fetch request always carries all eight bytes.
std::string shownName(const DeviceNameField& name) {
    const auto end = std::find(name.begin(), name.end(), 0);
    return std::string(name.begin(), end);
}

// A status letter as the status line shows it: the letter, or its code when it has no
// printable form.
std::string shownLetter(char code) {
    const auto byte = static_cast<unsigned char>(code);
    if (byte < 0x80 && std::isprint(byte)) {
        return std::string(1, code);
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

}  // namespace

Exchange::Exchange(ExchangeView& view, SerialPort& port, const PortSettings& settings)
    : view_(view),
      port_(port),
      settings_(settings),
      rxBuffer_(kBufferSize),
      txBuffer_(kBufferSize) {
    for (QTimer* timer : {&replyTimer_, &pauseTimer_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    progressTick_.setInterval(kProgressTickMs);
    QObject::connect(&replyTimer_, &QTimer::timeout, &replyTimer_,
                     [this] { replyTimedOut_ = true; });
    QObject::connect(&pauseTimer_, &QTimer::timeout, &pauseTimer_,
                     [this] { pauseElapsed_ = true; });
}

Exchange::~Exchange() {
    // Ending the program during an exchange: the port must not go on delivering to an
    // object that is gone.
    if (linkOpen_) {
        closeLink();
    }
}

void Exchange::startExchange(int function) {
    // A second start while one runs, or a start without a chosen function, would lock the
    // window with no transaction to unlock it.
    if ((function != kReceiveFunction && function != kSendFunction) || !beginExchange(function)) {
        return;
    }
    if (function == kReceiveFunction) {
        requestDirectory();
    } else {
        sendFile();
    }
}

bool Exchange::beginExchange(int function) {
    if (busy_) {
        return false;
    }
    busy_ = true;
    finishing_ = false;
    cancelRequested_ = false;
    pauseSkipped_ = false;
    cancelled_ = false;
    failureDetail_.clear();
    causeLine_.clear();
    lineErrorsSeen_ = false;
    successText_.reset();
    view_.grayMainMenus();
    view_.disableFunctionChoice();
    view_.setCancelAvailable(true);
    beginRecord(function);
    return true;
}

void Exchange::listFiles() {
    if (beginExchange(kReceiveFunction) && directoryReceived()) {
        closeLink();
        finishExchange(kStatusAccepted);
    }
}

void Exchange::fetchListedFileTo(int selection, const std::string& path) {
    if (selection < 0 || selection >= static_cast<int>(directoryNames_.size()) ||
        !beginExchange(kReceiveFunction)) {
        return;
    }
    fetchInto(directoryNames_[static_cast<std::size_t>(selection)], path);
}

void Exchange::sendFileAt(const std::string& path) {
    if (beginExchange(kSendFunction)) {
        sendFrom(path);
    }
}

std::vector<std::string> Exchange::listedNames() const {
    std::vector<std::string> names;
    for (const DeviceNameField& name : directoryNames_) {
        names.push_back(shownName(name));
    }
    return names;
}

void Exchange::chooseListedFile(int selection) {
    if (!awaitingFileChoice_ || selection < 0 ||
        selection >= static_cast<int>(directoryNames_.size())) {
        return;
    }
    awaitingFileChoice_ = false;
    fetchFile(selection);
}

void Exchange::cancel() {
    if (!cancellable()) {
        return;
    }
    if (awaitingFileChoice_) {
        // Nothing is on the line: the link was closed when the names were listed.
        finishCancelled();
        return;
    }
    // The running wait ends on its next pass; one still to come ends at once.
    cancelRequested_ = true;
}

void Exchange::abandon() {
    if (cancellable()) {
        pauseSkipped_ = true;
        cancel();
    }
}

void Exchange::requestDirectory() {
    if (!directoryReceived()) {
        return;
    }
    view_.showFileList(1);
    closeLink();
    view_.redrawMenuBar();
    view_.setStatusText(TextId::StatusDirectoryListed);
    awaitingFileChoice_ = true;
}

bool Exchange::directoryReceived() {
    // Names of an earlier listing must not outlive a failed or empty one.
    directoryNames_.clear();
    openLink();
    loadFrame(directoryRequest());
    if (!commandAnswered(directoryRequest().size())) {
        return false;
    }
    if (replyStatus() != kStatusAccepted) {
        closeLink();
        finishExchange(replyStatus());
        return false;
    }
    if (!replyHeaderArrived(kDirectoryHeaderLength,
                            directoryHeaderWaitMs(lineTimingOf(settings_)))) {
        return false;
    }
    directoryCount_ = directoryCount(received());
    if (!isUsableDirectoryCount(directoryCount_)) {
        closeLink();
        endWith('W', "the directory announces " + std::to_string(directoryCount_) +
                         " entries; at most 15 can be listed");
        return false;
    }
    if (directoryCount_ == 0) {
        view_.showMessageBox(TextId::NoFileSaved, MessageIcon::Information);
        closeLink();
        finishExchange(kStatusAccepted);
        return false;
    }
    const std::size_t replyLength = directoryReplyLength(directoryCount_);
    if (phaseEnded(
            replyLength,
            directoryEntriesWaitMs(static_cast<int>(directoryCount_), lineTimingOf(settings_)),
            {WaitProgress::Source::Received, replyLength})) {
        return false;
    }
    DirectoryReply reply = checkDirectoryReply(received());
    if (reply.verdict != ReplyVerdict::Accepted) {
        closeLink();
        finishExchange('B');
        return false;
    }
    listDirectory(std::move(reply.names));
    return true;
}

void Exchange::listDirectory(std::vector<DeviceNameField> names) {
    view_.clearFileList(TextId::SelectFile);
    directoryNames_ = std::move(names);
    for (const DeviceNameField& name : directoryNames_) {
        view_.appendFileListEntry(shownName(name));
    }
}

void Exchange::fetchFile(int selection) {
    const auto& name = directoryNames_.at(static_cast<std::size_t>(selection));
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.initialName = shownName(name);
    request.title = TextId::SaveDialogTitle;
    const std::optional<std::string> path = view_.chooseFile(request);
    if (!path) {
        endWithoutOutcome();
        return;
    }
    view_.setStatusText(TextId::StatusPleaseWait);
    fetchInto(name, *path);
}

void Exchange::fetchInto(const DeviceNameField& name, const std::string& path) {
    savePath_ = path;
    record_.deviceName = shownName(name);
    loadFrame(fetchRequest(name));
    openLink();
    if (!commandAnswered(kFetchRequestLength)) {
        return;
    }
    if (replyStatus() != kStatusAccepted) {
        // The link stays open while this outcome is shown.
        finishExchange(replyStatus());
        closeLink();
        return;
    }
    if (!replyHeaderArrived(kHeaderLength, fileHeaderWaitMs(lineTimingOf(settings_)))) {
        return;
    }
    dataLength_ = fileDataLength(received());
    if (!isUsableDataLength(dataLength_)) {
        closeLink();
        endWith('W', "the file reply announces " + std::to_string(dataLength_) +
                         " data bytes; 0 to 9999 are possible");
        return;
    }
    record_.fileBytes = kHeaderLength + static_cast<std::size_t>(dataLength_);
    const std::size_t replyLength = fileReplyLength(dataLength_);
    // The reply is the file's bytes (its header first) and a check byte after them.
    if (phaseEnded(replyLength,
                   fileDataWaitMs(static_cast<int>(dataLength_), lineTimingOf(settings_)),
                   {WaitProgress::Source::Received, record_.fileBytes})) {
        return;
    }
    closeLink();
    const FileReply reply = checkFileReply(received());
    if (reply.verdict != ReplyVerdict::Accepted) {
        finishExchange('B');
        return;
    }
    const TagDataFile::SaveResult saved = TagDataFile::save(
        savePath_, reply.file,
        keepExistingFiles_ ? FileSaver::IfExists::Keep : FileSaver::IfExists::Replace);
    if (!saved.ok) {
        endWith('D', saved.reason);
        return;
    }
    successText_ = FilledText{TextId::StatusSaved, {savePath_}};
    finishExchange(kStatusAccepted);
}

void Exchange::sendFile() {
    view_.setStatusText(TextId::StatusChooseFileToSend);
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.title = TextId::OpenDialogTitle;
    const std::optional<std::string> path = view_.chooseFile(request);
    if (!path) {
        endWithoutOutcome();
        return;
    }
    view_.setStatusText(TextId::StatusPleaseWait);
    sendFrom(*path);
}

void Exchange::sendFrom(const std::string& path) {
    sendPath_ = path;

    // A file that is short of what its header announces would put bytes on the line that
    // are not in it; it is refused before the link is opened.
    TagDataFile::LoadResult loaded = TagDataFile::load(sendPath_);
    if (!loaded.ok) {
        endWith('D', loaded.reason);
        return;
    }
    fileBuffer_ = std::move(loaded.bytes);

    const std::string deviceName = deviceNameFromPath(sendPath_);
    record_.deviceName = deviceName;
    record_.fileBytes = fileBuffer_.size();
    loadFrame(transferAnnouncement(deviceName, std::span(fileBuffer_).first(kHeaderLength)));
    openLink();
    if (!commandAnswered(kAnnouncementLength)) {
        return;
    }
    if (replyStatus() != kStatusAccepted) {
        closeLink();
        finishExchange(replyStatus());
        return;
    }
    dataLength_ = readDecimalField(txBuffer_, 13, 17);
    const Bytes frame = dataFrame(
        std::span(fileBuffer_).subspan(kHeaderLength, static_cast<std::size_t>(dataLength_)));
    loadFrame(frame);
    sendFrame(frame.size());
    if (phaseEnded(kStatusReplyLength,
                   dataStatusWaitMs(static_cast<int>(dataLength_), lineTimingOf(settings_)),
                   {WaitProgress::Source::Sent, fileBuffer_.size()})) {
        return;
    }
    closeLink();
    successText_ = FilledText{TextId::StatusStored, {deviceName}};
    finishExchange(replyStatus());
}

void Exchange::finishExchange(char code) {
    lastOutcome_ = code;
    noteLineErrors(code);
    endRecord(code, false);
    awaitingFileChoice_ = false;
    finishing_ = true;
    view_.setCancelAvailable(false);
    if (!outcomesCollected_) {
        if (const std::optional<TextId> text = outcomeBoxText(code)) {
            view_.showOutcomeBox(*text, causeLine_);
        }
        showOutcomeStatus(code);
    }
    resetChoices();
    pauseAfterOutcome();
    restoreIdleWindow();
}

void Exchange::noteLineErrors(char code) {
    // Bytes came with parity or framing errors: a failure is then most likely one of the
    // settings, which the operator can fix, rather than of the device.
    if (lineErrorsSeen_ && code != kStatusAccepted && causeLine_.empty()) {
        causeLine_ = MessageCatalog(language()).lookup(FilledText{TextId::LineSettingsDiffer, {}});
    }
}

void Exchange::showOutcomeStatus(char code) {
    if (code == kStatusAccepted) {
        if (successText_ && !successText_->arguments.empty()) {
            view_.setStatusTextWith(successText_->id, successText_->arguments.front());
        } else {
            view_.setStatusText(TextId::StatusSuccess);
        }
    } else if (outcomeBoxText(code)) {
        view_.setStatusText(TextId::StatusFailure);
    } else {
        // No box explains this letter: the status line names it, so that the help's table
        // of letters can be used.
        view_.setStatusTextWith(TextId::StatusFailureLetter, shownLetter(code));
    }
}

void Exchange::finishCancelled() {
    cancelled_ = true;
    endRecord(lastOutcome_, true);
    awaitingFileChoice_ = false;
    finishing_ = true;
    view_.setCancelAvailable(false);
    if (!outcomesCollected_) {
        view_.setStatusText(TextId::StatusCancelled);
    }
    resetChoices();
    pauseAfterOutcome();
    restoreIdleWindow();
}

void Exchange::endWithoutOutcome() {
    // A file dialog was cancelled: nothing happened that an outcome could report, so the
    // window is idle again at once.
    cancelled_ = true;
    endRecord(lastOutcome_, true);
    awaitingFileChoice_ = false;
    finishing_ = true;
    view_.setCancelAvailable(false);
    resetChoices();
    restoreIdleWindow();
}

void Exchange::resetChoices() {
    view_.showFileList(0);
    view_.setStartItem(false);
    view_.resetFunctionChoice();
}

void Exchange::restoreIdleWindow() {
    view_.setStatusText(TextId::StatusIdle);
    view_.enableMainMenus();
    view_.enableFunctionChoice();
    busy_ = false;
    finishing_ = false;
}

void Exchange::pauseAfterOutcome() {
    if (outcomePauseMs_ <= 0 || pauseSkipped_ || outcomesCollected_) {
        return;
    }
    pauseElapsed_ = false;
    pauseTimer_.start(outcomePauseMs_);
    while (!pauseElapsed_) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    pauseTimer_.stop();
}

Language Exchange::language() const {
    return settings_.language == 0 ? Language::German : Language::English;
}

void Exchange::openLink() {
    // A port that cannot be opened still ends the exchange at its reply time-out, with 'N';
    // the operator is also told why.
    const bool opened =
        port_.openPort(this, settings_.port, settings_.baudRate,
                       static_cast<char>(settings_.parity), settings_.dataBits, settings_.stopBits,
                       kEventMask, kWriteBufferSize, kRtsControl) != 0;
    if (!opened && port_.openFailure()) {
        causeLine_ = MessageCatalog(language()).lookup(port_.openFailure()->text);
    }
    port_.startMonitoring();
    linkOpen_ = true;
    lineGone_ = false;
    record_.lineUsed = true;
    notify([opened](ExchangeObserver& observer) { observer.linkOpened(opened); });
}

void Exchange::closeLink() {
    port_.closePort();
    reportArrivals();
    linkOpen_ = false;
    notify([](ExchangeObserver& observer) { observer.linkClosed(); });
}

void Exchange::addObserver(ExchangeObserver& observer) {
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end()) {
        observers_.push_back(&observer);
    }
}

void Exchange::removeObserver(ExchangeObserver& observer) {
    std::erase(observers_, &observer);
}

void Exchange::notify(const std::function<void(ExchangeObserver&)>& call) {
    for (ExchangeObserver* observer : observers_) {
        call(*observer);
    }
}

void Exchange::beginRecord(int function) {
    record_ = ExchangeRecord{};
    record_.function =
        function == kSendFunction ? ExchangeRecord::Function::Put : ExchangeRecord::Function::List;
    record_.startedAt = std::chrono::system_clock::now();
    record_.devicePath = port_.portMap().devicePathForName(settings_.portName());
    record_.line = settings_;
    // The files of this exchange, once chosen; the record takes them at its end.
    savePath_.clear();
    sendPath_.clear();
    recordStarted_ = std::chrono::steady_clock::now();
    recordOpen_ = true;
    notify([this](ExchangeObserver& observer) { observer.exchangeStarted(record_); });
}

void Exchange::endRecord(char code, bool cancelled) {
    // Once per exchange: a failure found after the outcome (a listing the CLI then finds
    // lacking) is not a second exchange.
    if (!recordOpen_) {
        return;
    }
    recordOpen_ = false;
    // A file dialog cancelled before anything went on the line is no exchange to keep.
    if (cancelled && !record_.lineUsed) {
        return;
    }
    if (record_.function == ExchangeRecord::Function::Put) {
        record_.pcPath = sendPath_;
    } else if (!savePath_.empty()) {
        // A file to save was chosen: the receive went on to fetch it.
        record_.function = ExchangeRecord::Function::Get;
        record_.pcPath = savePath_;
    }
    record_.outcome = code;
    record_.cancelled = cancelled;
    record_.duration = std::chrono::steady_clock::now() - recordStarted_;
    notify([this](ExchangeObserver& observer) { observer.exchangeEnded(record_); });
}

void Exchange::reportArrivals() {
    if (rxCount_ <= rxReported_) {
        return;
    }
    const auto fresh = std::span(rxBuffer_.data() + rxReported_, rxCount_ - rxReported_);
    rxReported_ = rxCount_;
    notify([fresh](ExchangeObserver& observer) { observer.bytesReceived(fresh); });
}

void Exchange::sendFrame(std::size_t length) {
    // Whatever came after the last wait is still part of the record, unanswered.
    reportArrivals();
    rxCount_ = 0;
    rxReported_ = 0;
    const auto frame = std::span<const std::uint8_t>(txBuffer_.data(), length);
    notify([frame](ExchangeObserver& observer) { observer.frameSent(frame); });
    frameHandedOver_ = std::chrono::steady_clock::now();
    port_.setWriteLength(static_cast<std::uint32_t>(length));
    port_.requestWrite(std::span(txBuffer_.data(), length));
}

WaitEnd Exchange::waitForReply(std::size_t threshold, int milliseconds, WaitProgress progress) {
    const int interval = std::max(milliseconds, kShortestTimerMs);
    notify([threshold, interval](ExchangeObserver& observer) {
        observer.waitBegan(threshold, interval);
    });
    replyTimedOut_ = false;
    replyTimer_.start(interval);
    beginProgress(progress);
    std::optional<WaitEnd> end;
    if (cancelRequested_) {
        end = WaitEnd::Cancelled;
    } else if (rxCount_ >= threshold) {
        end = WaitEnd::Reached;
    } else if (lineGone_) {
        end = WaitEnd::LineGone;
    }
    while (!end) {
        // Sleeps until something arrives: a received byte, a timer, input or painting.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        reportArrivals();
        end = waitEndAfterPass(threshold);
        if (!end || *end == WaitEnd::Reached) {
            updateProgress(progress, end.has_value());
        }
        // A view may have cancelled while it was shown the progress.
        if (!end && cancelRequested_) {
            end = WaitEnd::Cancelled;
        }
    }
    replyTimer_.stop();
    if (progress.source != WaitProgress::Source::None) {
        progressTick_.stop();
        view_.hideProgress();
    }
    reportArrivals();
    if (*end == WaitEnd::TimedOut) {
        notify([threshold, this, interval](ExchangeObserver& observer) {
            observer.waitTimedOut(threshold, rxCount_, interval);
        });
    } else if (*end == WaitEnd::LineGone) {
        notify([](ExchangeObserver& observer) { observer.lineHungUp(); });
    }
    notify([](ExchangeObserver& observer) { observer.waitEnded(); });
    return *end;
}

std::optional<WaitEnd> Exchange::waitEndAfterPass(std::size_t threshold) const {
    // The operator's cancel comes first. A time-out that comes together with the last byte
    // ends the wait as timed out. A line that has gone ends it only once the bytes it
    // delivered before going have been counted.
    if (cancelRequested_) {
        return WaitEnd::Cancelled;
    }
    if (replyTimedOut_) {
        return WaitEnd::TimedOut;
    }
    if (rxCount_ >= threshold) {
        return WaitEnd::Reached;
    }
    if (lineGone_) {
        return WaitEnd::LineGone;
    }
    return std::nullopt;
}

void Exchange::beginProgress(const WaitProgress& progress) {
    if (progress.source == WaitProgress::Source::None) {
        return;
    }
    progressMeter_.begin(progress.expected, progressDone(progress),
                         std::chrono::steady_clock::now());
    updateProgress(progress, false);
    progressTick_.start();
}

void Exchange::updateProgress(const WaitProgress& progress, bool reached) {
    if (progress.source == WaitProgress::Source::None) {
        return;
    }
    // A confirmed send has carried all its bytes, whatever the estimate says.
    const std::size_t done = reached ? progress.expected : progressDone(progress);
    const auto now = std::chrono::steady_clock::now();
    const TransferProgress measured = progressMeter_.measure(done, now);
    if (progressMeter_.worthShowing(measured, now)) {
        view_.showProgress(measured);
    }
}

std::size_t Exchange::progressDone(const WaitProgress& progress) const {
    if (progress.source == WaitProgress::Source::Received) {
        return rxCount_;
    }
    // The data frame going out: the driver takes the whole frame into its buffer at once
    // (a pseudo-terminal even hands it over at once), so the count it accepted says little
    // of what has reached the device. The line cannot carry more than its rate allows, and
    // with no flow control it carries exactly that: the bytes are estimated from it.
    // The header went with the announcement; the frame's first byte leads its data.
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - frameHandedOver_).count();
    const auto carried = static_cast<std::size_t>(seconds * lineBytesPerSecond());
    const std::size_t data = std::min(carried > 0 ? carried - 1 : 0,
                                      static_cast<std::size_t>(std::max(dataLength_, 0L)));
    return std::min(kHeaderLength + data, progress.expected);
}

double Exchange::lineBytesPerSecond() const {
    return static_cast<double>(settings_.baudRate) / bitsPerByte(lineTimingOf(settings_));
}

long Exchange::portMessage(unsigned message, std::uintptr_t firstParameter,
                           std::intptr_t secondParameter) {
    static_cast<void>(secondParameter);
    // Bytes beyond the buffer are dropped rather than written past its end; a reply that
    // long fails its check anyway.
    if (message == MSG_RX_CHAR && rxCount_ < rxBuffer_.size()) {
        rxBuffer_[rxCount_] = static_cast<std::uint8_t>(firstParameter);
        ++rxCount_;
    } else if (message == MSG_LINE_GONE && linkOpen_) {
        lineGone_ = true;
    } else if (message == MSG_LINE_ERROR && linkOpen_) {
        lineErrorsSeen_ = true;
    }
    return 0;
}

void Exchange::loadFrame(const Bytes& frame) {
    std::copy(frame.begin(), frame.end(), txBuffer_.begin());
}

bool Exchange::commandAnswered(std::size_t frameLength) {
    sendFrame(frameLength);
    const WaitEnd end =
        waitForReply(kStatusReplyLength, statusWaitMs(frameLength, lineTimingOf(settings_)));
    // Bytes that cannot be a status reply are what a UART delivers when the line settings
    // differ from the programmer's: the operator is told so, rather than shown their letter.
    const bool noReply = end != WaitEnd::Cancelled && cannotBeStatusReply(received());
    if (noReply) {
        causeLine_ = MessageCatalog(language()).lookup(TextId::LineSettingsDiffer);
    }
    if (end == WaitEnd::Reached && !noReply) {
        return true;
    }
    closeLink();
    endAfterWait(end == WaitEnd::Reached ? WaitEnd::TimedOut : end);
    return false;
}

bool Exchange::replyHeaderArrived(std::size_t headerLength, int milliseconds) {
    loadFrame(goAhead());
    sendFrame(goAhead().size());
    return !phaseEnded(headerLength, milliseconds);
}

bool Exchange::phaseEnded(std::size_t threshold, int milliseconds, WaitProgress progress) {
    const WaitEnd end = waitForReply(threshold, milliseconds, progress);
    if (end == WaitEnd::Reached) {
        return false;
    }
    closeLink();
    endAfterWait(end);
    return true;
}

void Exchange::endAfterWait(WaitEnd end) {
    switch (end) {
        case WaitEnd::Cancelled:
            finishCancelled();
            return;
        case WaitEnd::LineGone: {
            const std::string device = port_.portMap().devicePathForName(settings_.portName());
            causeLine_ = MessageCatalog(language())
                             .lookup(FilledText{TextId::DeviceGone, {shownText(device)}});
            finishExchange('N');
            return;
        }
        case WaitEnd::TimedOut:
        case WaitEnd::Reached:
            finishExchange('N');
            return;
    }
}

void Exchange::endWith(char code, std::string detail) {
    failureDetail_ = shownText(detail);  // it names files and quotes the system
    finishExchange(code);
}

std::span<const std::uint8_t> Exchange::received() const {
    return std::span(rxBuffer_.data(), rxCount_);
}

char Exchange::replyStatus() const {
    return statusLetter(received());
}

}  // namespace dravolin
