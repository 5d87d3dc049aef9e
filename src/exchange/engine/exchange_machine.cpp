#include "exchange/engine/exchange_machine.h"

#include <algorithm>
#include <utility>

#include "protocol/device_name.h"

namespace dravolin {

namespace {

// What the end of an exchange keeps of the reply it ended in: enough to tell a status
// reply from noise.
constexpr std::size_t kKeptReplyBytes = 32;

// A name as the device sent it, up to its first NUL; the fetch request always carries all
// eight bytes.
std::string shownName(const DeviceNameField& name) {
    const auto end = std::find(name.begin(), name.end(), 0);
    return std::string(name.begin(), end);
}

MachineAction action(MachineAction::Kind kind) {
    MachineAction made;
    made.kind = kind;
    return made;
}

}  // namespace

// ---- Events

MachineActions ExchangeMachine::start(const ExchangeRequest& request) {
    if (running()) {
        return {};
    }
    request_ = request;
    rx_.clear();
    lineErrors_ = false;
    fetching_ = false;
    deviceName_.clear();
    localPath_.clear();
    fileBytes_ = 0;
    switch (request.kind) {
        case ExchangeRequest::Kind::Receive:
        case ExchangeRequest::Kind::List:
            beginDirectory();
            break;
        case ExchangeRequest::Kind::Fetch:
            beginFetch(request.name, request.path);
            break;
        case ExchangeRequest::Kind::Send:
            if (request.path.empty()) {
                phase_ = Phase::AskingOpen;
                MachineAction ask = action(MachineAction::Kind::AskFile);
                ask.save = false;
                out_.push_back(std::move(ask));
            } else {
                beginLoading(request.path);
            }
            break;
    }
    return take();
}

MachineActions ExchangeMachine::received(std::span<const std::uint8_t> bytes) {
    if (!linkOpen_) {
        return {};
    }
    // Bytes beyond the buffer are dropped rather than kept without bound; a reply that long
    // fails its check anyway.
    const std::size_t room = kBufferSize - rx_.size();
    rx_.insert(rx_.end(), bytes.begin(), bytes.begin() + std::min(room, bytes.size()));
    if (waitArmed_) {
        // The status reply of a send is no progress of its data.
        if (progressTotal_ > 0 && phase_ != Phase::DataStatus) {
            progress(rx_.size());
        }
        if (rx_.size() >= threshold_) {
            afterReply();
        }
    }
    return take();
}

MachineActions ExchangeMachine::frameLeft(std::size_t written) {
    if (phase_ == Phase::DataStatus && waitArmed_) {
        // STX first, then the data: the file's header went out with the announcement.
        const std::size_t data =
            std::min(written > 0 ? written - 1 : 0, static_cast<std::size_t>(dataLength_));
        progress(kHeaderLength + data, true);
    }
    return take();
}

MachineActions ExchangeMachine::timedOut() {
    if (!waitArmed_) {
        return {};
    }
    waitArmed_ = false;
    closeLink();
    ExchangeOutcome outcome;
    outcome.letter = 'N';
    outcome.timedOut = true;
    end(std::move(outcome));
    return take();
}

MachineActions ExchangeMachine::lineErrorsSeen() {
    if (linkOpen_) {
        lineErrors_ = true;
    }
    return {};
}

MachineActions ExchangeMachine::hungUp() {
    if (!waitArmed_) {
        return {};
    }
    disarmWait();
    closeLink();
    ExchangeOutcome outcome;
    outcome.letter = 'N';
    outcome.lineGone = true;
    end(std::move(outcome));
    return take();
}

MachineActions ExchangeMachine::cancel() {
    switch (phase_) {
        case Phase::Idle:
        case Phase::Saving:  // the file is being written: its outcome follows at once
            return {};
        default:
            break;
    }
    if (waitArmed_) {
        disarmWait();
    }
    if (linkOpen_) {
        closeLink();
    }
    ExchangeOutcome outcome;
    outcome.cancelled = true;
    end(std::move(outcome));
    return take();
}

MachineActions ExchangeMachine::entryChosen(int index) {
    if (phase_ != Phase::AwaitingChoice || index < 0 || index >= static_cast<int>(names_.size())) {
        return {};
    }
    chosen_ = names_[static_cast<std::size_t>(index)];
    phase_ = Phase::AskingSave;
    MachineAction ask = action(MachineAction::Kind::AskFile);
    ask.save = true;
    ask.path = shownName(chosen_);
    out_.push_back(std::move(ask));
    return take();
}

MachineActions ExchangeMachine::fileChosen(const std::optional<std::string>& path) {
    if (phase_ != Phase::AskingOpen && phase_ != Phase::AskingSave) {
        return {};
    }
    if (!path) {
        ExchangeOutcome outcome;
        outcome.cancelled = true;
        outcome.quiet = true;
        end(std::move(outcome));
        return take();
    }
    if (phase_ == Phase::AskingOpen) {
        beginLoading(*path);
    } else {
        beginFetch(chosen_, *path);
    }
    return take();
}

MachineActions ExchangeMachine::fileLoaded(Bytes file) {
    if (phase_ != Phase::Loading) {
        return {};
    }
    // A file short of what its header announces would put bytes on the line that are not
    // in it.
    dataLength_ = file.size() >= kHeaderLength ? fileDataLength(file) : -1;
    if (!isUsableDataLength(dataLength_) ||
        file.size() < kHeaderLength + static_cast<std::size_t>(dataLength_)) {
        endWith('D', "the file is shorter than its header announces");
        return take();
    }
    file.resize(kHeaderLength + static_cast<std::size_t>(dataLength_));
    file_ = std::move(file);
    deviceName_ = deviceNameFromPath(localPath_);
    fileBytes_ = file_.size();
    announcement_ = transferAnnouncement(deviceName_, std::span(file_).first(kHeaderLength));
    openLink();
    sendFrame(announcement_);
    phase_ = Phase::AnnounceStatus;
    armWait(kStatusReplyLength, statusWaitMs(announcement_.size(), request_.line));
    return take();
}

MachineActions ExchangeMachine::saved() {
    if (phase_ != Phase::Saving) {
        return {};
    }
    ExchangeOutcome outcome;
    outcome.savedTo = localPath_;
    end(std::move(outcome));
    return take();
}

MachineActions ExchangeMachine::localFailure(const std::string& reason) {
    if (phase_ != Phase::Loading && phase_ != Phase::Saving) {
        return {};
    }
    endWith('D', reason);
    return take();
}

MachineActions ExchangeMachine::endAtListing(char letter) {
    if (phase_ != Phase::AwaitingChoice) {
        return {};
    }
    endWith(letter);
    return take();
}

// ---- The transactions

void ExchangeMachine::beginDirectory() {
    // Names of an earlier listing must not outlive a failed or empty one.
    names_.clear();
    openLink();
    sendFrame(directoryRequest());
    phase_ = Phase::DirectoryStatus;
    armWait(kStatusReplyLength, statusWaitMs(directoryRequest().size(), request_.line));
}

void ExchangeMachine::beginLoading(const std::string& path) {
    localPath_ = path;
    phase_ = Phase::Loading;
    MachineAction load = action(MachineAction::Kind::LoadFile);
    load.path = path;
    out_.push_back(std::move(load));
}

void ExchangeMachine::beginFetch(const DeviceNameField& name, const std::string& path) {
    fetching_ = true;
    deviceName_ = shownName(name);
    localPath_ = path;
    openLink();
    const Bytes request = fetchRequest(name);
    sendFrame(request);
    phase_ = Phase::FetchStatus;
    armWait(kStatusReplyLength, statusWaitMs(request.size(), request_.line));
}

void ExchangeMachine::afterReply() {
    disarmWait();
    switch (phase_) {
        case Phase::DirectoryStatus:
            afterDirectoryStatus();
            break;
        case Phase::DirectoryHeader:
            afterDirectoryHeader();
            break;
        case Phase::DirectoryEntries:
            afterDirectoryEntries();
            break;
        case Phase::FetchStatus:
            afterFetchStatus();
            break;
        case Phase::FetchHeader:
            afterFetchHeader();
            break;
        case Phase::FetchData:
            afterFetchData();
            break;
        case Phase::AnnounceStatus:
            afterAnnounceStatus();
            break;
        case Phase::DataStatus:
            afterDataStatus();
            break;
        default:
            break;
    }
}

void ExchangeMachine::afterDirectoryStatus() {
    if (replyLetter() != kStatusAccepted) {
        closeLink();
        endWith(replyLetter());
        return;
    }
    sendFrame(goAhead());
    phase_ = Phase::DirectoryHeader;
    armWait(kDirectoryHeaderLength, directoryHeaderWaitMs(request_.line));
}

void ExchangeMachine::afterDirectoryHeader() {
    const long count = directoryCount(receivedBytes());
    if (!isUsableDirectoryCount(count)) {
        closeLink();
        endWith('W', "the directory announces " + std::to_string(count) +
                         " entries; at most 15 can be listed");
        return;
    }
    if (count == 0) {
        closeLink();
        ExchangeOutcome outcome;
        outcome.noFiles = true;
        end(std::move(outcome));
        return;
    }
    phase_ = Phase::DirectoryEntries;
    // No frame: the rest of the reply follows the header.
    const std::size_t length = directoryReplyLength(count);
    progressTotal_ = length;
    armWait(length, directoryEntriesWaitMs(static_cast<int>(count), request_.line));
}

void ExchangeMachine::afterDirectoryEntries() {
    DirectoryReply reply = checkDirectoryReply(receivedBytes());
    if (reply.verdict != ReplyVerdict::Accepted) {
        closeLink();
        endWith('B');
        return;
    }
    // The names are put up before the link closes, as they always were.
    names_ = std::move(reply.names);
    MachineAction list = action(MachineAction::Kind::ListNames);
    list.names = names_;
    out_.push_back(std::move(list));
    closeLink();
    if (request_.kind == ExchangeRequest::Kind::List) {
        endWith(kStatusAccepted);
        return;
    }
    phase_ = Phase::AwaitingChoice;
}

void ExchangeMachine::afterFetchStatus() {
    if (replyLetter() != kStatusAccepted) {
        const char letter = replyLetter();
        // The link stays open while this outcome is told, as it always has.
        endWith(letter);
        closeLink();
        return;
    }
    sendFrame(goAhead());
    phase_ = Phase::FetchHeader;
    armWait(kHeaderLength, fileHeaderWaitMs(request_.line));
}

void ExchangeMachine::afterFetchHeader() {
    dataLength_ = fileDataLength(receivedBytes());
    if (!isUsableDataLength(dataLength_)) {
        closeLink();
        endWith('W', "the file reply announces " + std::to_string(dataLength_) +
                         " data bytes; 0 to 9999 are possible");
        return;
    }
    fileBytes_ = kHeaderLength + static_cast<std::size_t>(dataLength_);
    phase_ = Phase::FetchData;
    progressTotal_ = fileBytes_;
    armWait(fileReplyLength(dataLength_),
            fileDataWaitMs(static_cast<int>(dataLength_), request_.line));
}

void ExchangeMachine::afterFetchData() {
    closeLink();
    const FileReply reply = checkFileReply(receivedBytes());
    if (reply.verdict != ReplyVerdict::Accepted) {
        endWith('B');
        return;
    }
    phase_ = Phase::Saving;
    MachineAction save = action(MachineAction::Kind::Save);
    save.bytes.assign(reply.file.begin(), reply.file.end());
    save.path = localPath_;
    save.keepExisting = request_.keepExisting;
    out_.push_back(std::move(save));
}

void ExchangeMachine::afterAnnounceStatus() {
    if (replyLetter() != kStatusAccepted) {
        closeLink();
        endWith(replyLetter());
        return;
    }
    // The length as the announcement carries it: the file's own header field.
    dataLength_ = readDecimalField(announcement_, 13, 17);
    const auto data =
        std::span(file_).subspan(kHeaderLength, static_cast<std::size_t>(dataLength_));
    sendFrame(dataFrame(data));
    phase_ = Phase::DataStatus;
    progressTotal_ = fileBytes_;
    armWait(kStatusReplyLength, dataStatusWaitMs(static_cast<int>(dataLength_), request_.line));
}

void ExchangeMachine::afterDataStatus() {
    closeLink();
    ExchangeOutcome outcome;
    outcome.letter = replyLetter();
    if (outcome.letter == kStatusAccepted) {
        outcome.storedAs = deviceName_;
    }
    end(std::move(outcome));
}

// ---- Actions

void ExchangeMachine::openLink() {
    linkOpen_ = true;
    out_.push_back(action(MachineAction::Kind::OpenLink));
}

void ExchangeMachine::closeLink() {
    if (!linkOpen_) {
        return;
    }
    linkOpen_ = false;
    out_.push_back(action(MachineAction::Kind::CloseLink));
}

void ExchangeMachine::sendFrame(Bytes frame) {
    // Whatever arrived before this frame answers something else.
    rx_.clear();
    MachineAction send = action(MachineAction::Kind::Send);
    send.bytes = std::move(frame);
    out_.push_back(std::move(send));
}

void ExchangeMachine::armWait(std::size_t threshold, int milliseconds) {
    threshold_ = threshold;
    waitArmed_ = true;
    MachineAction arm = action(MachineAction::Kind::ArmWait);
    arm.threshold = threshold;
    arm.milliseconds = milliseconds;
    out_.push_back(std::move(arm));
    if (progressTotal_ > 0) {
        progress(phase_ == Phase::DataStatus ? kHeaderLength : rx_.size(),
                 phase_ == Phase::DataStatus);
    }
    // A reply that is in already ends the wait at once.
    if (rx_.size() >= threshold_) {
        afterReply();
    }
}

void ExchangeMachine::disarmWait() {
    if (progressTotal_ > 0 && rx_.size() >= threshold_) {
        // A confirmed send has carried all its bytes, whatever the estimate said.
        progress(progressTotal_, phase_ == Phase::DataStatus);
    }
    progressTotal_ = 0;
    waitArmed_ = false;
    out_.push_back(action(MachineAction::Kind::DisarmWait));
}

void ExchangeMachine::progress(std::size_t done, bool sending) {
    MachineAction shown = action(MachineAction::Kind::Progress);
    shown.total = progressTotal_;
    shown.done = std::min(done, progressTotal_);
    shown.sending = sending;
    out_.push_back(std::move(shown));
}

void ExchangeMachine::endWith(char letter, std::string detail) {
    ExchangeOutcome outcome;
    outcome.letter = letter;
    outcome.detail = std::move(detail);
    end(std::move(outcome));
}

void ExchangeMachine::end(ExchangeOutcome outcome) {
    outcome.lineErrors = lineErrors_;
    outcome.names = names_;
    const std::size_t kept = std::min(rx_.size(), kKeptReplyBytes);
    outcome.lastReply.assign(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(kept));
    phase_ = Phase::Idle;
    progressTotal_ = 0;
    MachineAction ended = action(MachineAction::Kind::End);
    ended.outcome = std::move(outcome);
    out_.push_back(std::move(ended));
}

MachineActions ExchangeMachine::take() {
    return std::exchange(out_, {});
}

char ExchangeMachine::replyLetter() const {
    return statusLetter(receivedBytes());
}

}  // namespace dravolin
