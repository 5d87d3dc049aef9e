#include "exchange/exchange.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>

#include "protocol/device_name.h"
#include "protocol/tag_data_file.h"
#include "serial/serial_port.h"

namespace dravolin {

namespace {

constexpr int kStatusTimeoutMs = 1000;
constexpr int kHeaderTimeoutMs = 1000;
constexpr int kDirectoryMsPerEntry = 600;
constexpr int kFileMsPerByte = 50;
constexpr int kFileExtraMs = 50;
constexpr int kDataMsPerByte = 10;

// A name as the device sent it, up to its first NUL, for showing and as the file name
// offered in the save dialog; the fetch request always carries all eight bytes.
std::string shownName(const std::array<std::uint8_t, kNameLength>& name) {
    const auto end = std::find(name.begin(), name.end(), 0);
    return std::string(name.begin(), end);
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
    if (busy_ || (function != kReceiveFunction && function != kSendFunction)) {
        return;
    }
    busy_ = true;
    failureDetail_.clear();
    view_.grayMainMenus();
    view_.disableFunctionChoice();
    if (function == kReceiveFunction) {
        requestDirectory();
    } else {
        sendFile();
    }
}

void Exchange::chooseListedFile(int selection) {
    if (!awaitingFileChoice_ || selection < 0 ||
        selection >= static_cast<int>(directoryNames_.size())) {
        return;
    }
    awaitingFileChoice_ = false;
    fetchFile(selection);
}

void Exchange::requestDirectory() {
    openLink();
    loadFrame(directoryRequest());
    if (!commandAnswered(directoryRequest().size())) {
        return;
    }
    if (replyStatus() != kStatusAccepted) {
        closeLink();
        finishExchange(replyStatus());
        return;
    }
    if (!replyHeaderArrived(kDirectoryHeaderLength)) {
        return;
    }
    directoryCount_ = directoryCount(received());
    if (!isUsableDirectoryCount(directoryCount_)) {
        closeLink();
        endWith('W', "the directory announces " + std::to_string(directoryCount_) +
                         " entries; at most 15 can be listed");
        return;
    }
    if (directoryCount_ == 0) {
        view_.showMessageBox(TextId::NoFileSaved, MessageIcon::Information);
        closeLink();
        finishExchange(kStatusAccepted);
        return;
    }
    const std::size_t replyLength = directoryReplyLength(directoryCount_);
    if (phaseTimedOut(replyLength, kDirectoryMsPerEntry * static_cast<int>(directoryCount_))) {
        return;
    }
    if (!checkByteMatches(received(), replyLength - 1)) {
        closeLink();
        finishExchange('B');
        return;
    }
    listDirectory();
    view_.showFileList(1);
    closeLink();
    view_.redrawMenuBar();
    view_.setStatusText(TextId::StatusDirectoryListed);
    awaitingFileChoice_ = true;
}

void Exchange::listDirectory() {
    view_.clearFileList(TextId::SelectFile);
    directoryNames_.clear();
    for (long entry = 0; entry < directoryCount_; ++entry) {
        const auto first =
            rxBuffer_.begin() +
            static_cast<std::ptrdiff_t>(kDirectoryHeaderLength +
                                        kDirectoryEntryLength * static_cast<std::size_t>(entry));
        std::array<std::uint8_t, kNameLength> name{};
        std::copy_n(first, kNameLength, name.begin());
        directoryNames_.push_back(name);
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
        finishExchange(kStatusAccepted);
        return;
    }
    view_.setStatusText(TextId::StatusPleaseWait);
    savePath_ = *path;

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
    if (!replyHeaderArrived(kHeaderLength)) {
        return;
    }
    dataLength_ = fileDataLength(received());
    if (!isUsableDataLength(dataLength_)) {
        closeLink();
        endWith('W', "the file reply announces " + std::to_string(dataLength_) +
                         " data bytes; 0 to 9999 are possible");
        return;
    }
    if (phaseTimedOut(fileReplyLength(dataLength_),
                      kFileMsPerByte * static_cast<int>(dataLength_) + kFileExtraMs)) {
        return;
    }
    closeLink();
    const std::size_t fileLength = kHeaderLength + static_cast<std::size_t>(dataLength_);
    if (!checkByteMatches(received(), fileLength)) {
        finishExchange('B');
        return;
    }
    const TagDataFile::SaveResult saved = TagDataFile::save(
        savePath_, std::span(rxBuffer_.data(), fileLength),
        keepExistingFiles_ ? FileSaver::IfExists::Keep : FileSaver::IfExists::Replace);
    if (!saved.ok) {
        endWith('D', saved.reason);
        return;
    }
    finishExchange(kStatusAccepted);
}

void Exchange::sendFile() {
    view_.setStatusText(TextId::StatusChooseFileToSend);
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.title = TextId::OpenDialogTitle;
    const std::optional<std::string> path = view_.chooseFile(request);
    if (!path) {
        finishExchange(kStatusAccepted);
        return;
    }
    view_.setStatusText(TextId::StatusPleaseWait);
    sendPath_ = *path;

    // A file that is short of what its header announces would put bytes on the line that
    // are not in it; it is refused before the link is opened.
    TagDataFile::LoadResult loaded = TagDataFile::load(sendPath_);
    if (!loaded.ok) {
        endWith('D', loaded.reason);
        return;
    }
    fileBuffer_ = std::move(loaded.bytes);

    loadFrame(transferAnnouncement(deviceNameFromPath(sendPath_),
                                   std::span(fileBuffer_).first(kHeaderLength)));
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
    if (phaseTimedOut(kStatusReplyLength, kDataMsPerByte * static_cast<int>(dataLength_))) {
        return;
    }
    closeLink();
    finishExchange(replyStatus());
}

void Exchange::finishExchange(char code) {
    lastOutcome_ = code;
    awaitingFileChoice_ = false;
    if (const std::optional<TextId> text = outcomeBoxText(code)) {
        view_.showMessageBox(*text, MessageIcon::Exclamation);
    }
    view_.setStatusText(code == kStatusAccepted ? TextId::StatusSuccess : TextId::StatusFailure);
    view_.showFileList(0);
    view_.setStartItem(false);
    view_.resetFunctionChoice();
    pauseAfterOutcome();
    view_.setStatusText(TextId::StatusIdle);
    view_.enableMainMenus();
    view_.enableFunctionChoice();
    busy_ = false;
}

void Exchange::pauseAfterOutcome() {
    if (outcomePauseMs_ <= 0) {
        return;
    }
    pauseElapsed_ = false;
    pauseTimer_.start(outcomePauseMs_);
    while (!pauseElapsed_) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    pauseTimer_.stop();
}

void Exchange::openLink() {
    port_.openPort(this, settings_.port, settings_.baudRate, static_cast<char>(settings_.parity),
                   settings_.dataBits, settings_.stopBits, kEventMask, kWriteBufferSize,
                   kRtsControl);
    port_.startMonitoring();
    linkOpen_ = true;
}

void Exchange::closeLink() {
    port_.closePort();
    linkOpen_ = false;
}

void Exchange::sendFrame(std::size_t length) {
    rxCount_ = 0;
    port_.setWriteLength(static_cast<std::uint32_t>(length));
    port_.requestWrite(std::span(txBuffer_.data(), length));
}

bool Exchange::waitForReply(std::size_t threshold, int milliseconds) {
    const int interval = std::max(milliseconds, kShortestTimerMs);
    if (waitObserver_) {
        waitObserver_(threshold, interval);
    }
    replyTimedOut_ = false;
    replyTimer_.start(interval);
    waiting_ = true;
    bool reached = rxCount_ >= threshold;
    while (!reached) {
        // Sleeps until something arrives: a received byte, the timer, input or painting.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // A time-out that comes together with the last byte ends the wait as timed out.
        if (replyTimedOut_) {
            break;
        }
        reached = rxCount_ >= threshold;
        view_.reportProgress(rxCount_, threshold);
    }
    replyTimer_.stop();
    waiting_ = false;
    return reached;
}

long Exchange::portMessage(unsigned message, std::uintptr_t firstParameter,
                           std::intptr_t secondParameter) {
    static_cast<void>(secondParameter);
    // Bytes beyond the buffer are dropped rather than written past its end; a reply that
    // long fails its check anyway.
    if (message == MSG_RX_CHAR && rxCount_ < rxBuffer_.size()) {
        rxBuffer_[rxCount_] = static_cast<std::uint8_t>(firstParameter);
        ++rxCount_;
    }
    return 0;
}

void Exchange::loadFrame(const Bytes& frame) {
    std::copy(frame.begin(), frame.end(), txBuffer_.begin());
}

bool Exchange::commandAnswered(std::size_t frameLength) {
    sendFrame(frameLength);
    return !phaseTimedOut(kStatusReplyLength, kStatusTimeoutMs);
}

bool Exchange::replyHeaderArrived(std::size_t headerLength) {
    loadFrame(goAhead());
    sendFrame(goAhead().size());
    return !phaseTimedOut(headerLength, kHeaderTimeoutMs);
}

bool Exchange::phaseTimedOut(std::size_t threshold, int milliseconds) {
    if (waitForReply(threshold, milliseconds)) {
        return false;
    }
    closeLink();
    finishExchange('N');
    return true;
}

void Exchange::endWith(char code, std::string detail) {
    failureDetail_ = std::move(detail);
    finishExchange(code);
}

std::span<const std::uint8_t> Exchange::received() const {
    return std::span(rxBuffer_.data(), rxCount_);
}

char Exchange::replyStatus() const {
    return statusLetter(received());
}

}  // namespace dravolin
