#include "exchange/engine/exchange_machine.h"

#include <algorithm>
#include <utility>

#include "protocol/device_name.h"

namespace dravolin {

namespace {

// The largest count four decimal digits hold: a search takes a directory of any length.
constexpr long kLargestCount = 9999;

using Kind = MachineAction::Kind;
using Ending = ExchangeOutcome::Ending;
using RequestKind = ExchangeRequest::Kind;

}  // namespace

ExchangeMachine::Policy ExchangeMachine::policyOf(const ExchangeRequest& request) {
    // A search's try mostly asks silent settings, and any doubt about the line means that
    // these are not the programmer's: it need not wait for what it would not use. A
    // directory longer than the list holds is an answer too.
    const bool find = request.kind == RequestKind::Find;
    return {.shortStatusWait = request.shortFirstWait,
            .lineErrorsEnd = find,
            .linkFailureEnds = find,
            .badReplyIsNoAnswer = find,
            .largestDirectory = find ? kLargestCount : static_cast<long>(kMaxDirectoryEntries),
            .endsAtListing = request.kind != RequestKind::Receive,
            // A program that gets a name does not find it in an empty directory.
            .emptyDirectory = request.wantedName.empty() ? Ending::NoFiles : Ending::NotHeld};
}

// ---- The rules: what each state sends on entry and awaits, what a whole reply leads to

void ExchangeMachine::enter(Phase phase) {
    phase_ = phase;
    const LineTiming& line = request_.line;
    switch (phase) {
        case Phase::Idle:
            return;
        case Phase::DirectoryStatus:
            command(directoryRequest());
            return;
        case Phase::DirectoryHeader:
            sendFrame(goAhead());
            armWait(kDirectoryHeaderLength, directoryHeaderWaitMs(line));
            return;
        case Phase::DirectoryEntries: {
            // No frame: the rest of the reply follows the header already in.
            const long count = directoryCount(receivedBytes());
            progressTotal_ = directoryReplyLength(count);
            armWait(progressTotal_, directoryEntriesWaitMs(static_cast<int>(count), line));
            return;
        }
        case Phase::AwaitingChoice:  // the names are listed and the link closed
            return;
        case Phase::AskingSave:
            out_.push_back({.kind = Kind::AskFile, .save = true, .path = nameOf(chosen_)});
            return;
        case Phase::FetchStatus:
            command(fetchRequest(chosen_));
            return;
        case Phase::FetchHeader:
            sendFrame(goAhead());
            armWait(kHeaderLength, fileHeaderWaitMs(line));
            return;
        case Phase::FetchData:  // no frame either
            progressTotal_ = fileBytes_;
            armWait(fileReplyLength(dataLength_),
                    fileDataWaitMs(static_cast<int>(dataLength_), line));
            return;
        case Phase::Saving:  // the file is the reply without its check byte
            out_.push_back(
                {.kind = Kind::Save,
                 .bytes = Bytes(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(fileBytes_)),
                 .path = localPath_,
                 .keepExisting = request_.keepExisting});
            return;
        case Phase::AskingOpen:
            out_.push_back({.kind = Kind::AskFile});
            return;
        case Phase::Loading:
            out_.push_back({.kind = Kind::LoadFile, .path = localPath_});
            return;
        case Phase::AnnounceStatus:
            command(transferAnnouncement(deviceName_, std::span(file_).first(kHeaderLength)));
            return;
        case Phase::DataStatus:
            // Only the data bytes the header announces; the header went with the announcement.
            sendFrame(dataFrame(
                std::span(file_).subspan(kHeaderLength, static_cast<std::size_t>(dataLength_))));
            progressTotal_ = fileBytes_;
            armWait(kStatusReplyLength, dataStatusWaitMs(static_cast<int>(dataLength_), line));
            return;
    }
}

void ExchangeMachine::replied() {
    disarmWait();
    // Byte 0 of a status reply is the programmer's own business; byte 1 is its letter, and
    // any letter but '0' ends the transaction with it, printable or not.
    const char letter = statusLetter(receivedBytes());
    const bool accepted = letter == kStatusAccepted;
    switch (phase_) {
        case Phase::DirectoryStatus:
            statusIn(letter, Phase::DirectoryHeader);
            return;
        case Phase::DirectoryHeader:
            directoryHeaderIn();
            return;
        case Phase::DirectoryEntries:
            directoryIn();
            return;
        case Phase::FetchStatus:
            if (accepted) {
                enter(Phase::FetchHeader);
                return;
            }
            // A refused fetch keeps the link open while its outcome is told, as it always has.
            end(deviceLetter(letter));
            out_.push_back({.kind = Kind::CloseLink});
            return;
        case Phase::FetchHeader:
            fileHeaderIn();
            return;
        case Phase::FetchData:
            fileIn();
            return;
        case Phase::AnnounceStatus:
            statusIn(letter, Phase::DataStatus);
            return;
        case Phase::DataStatus: {
            ExchangeOutcome outcome = deviceLetter(letter);
            outcome.storedAs = accepted ? deviceName_ : std::string();
            endOnTheLine(std::move(outcome));
            return;
        }
        default:
            return;
    }
}

void ExchangeMachine::statusIn(char letter, Phase next) {
    if (letter == kStatusAccepted) {
        enter(next);
    } else {
        endOnTheLine(deviceLetter(letter));
    }
}

void ExchangeMachine::directoryHeaderIn() {
    const long count = directoryCount(receivedBytes());
    if (count == 0) {
        endOnTheLine(ExchangeOutcome::of(policy_.emptyDirectory));
    } else if (count < 0 || count > policy_.largestDirectory) {
        endOnTheLine(unusableReply('W', "the directory announces " + std::to_string(count) +
                                            " entries; at most 15 can be listed"));
    } else {
        enter(Phase::DirectoryEntries);
    }
}

void ExchangeMachine::directoryIn() {
    DirectoryReply reply = checkDirectoryReply(receivedBytes(), policy_.largestDirectory);
    if (reply.verdict != ReplyVerdict::Accepted) {
        endOnTheLine(unusableReply('B'));
        return;
    }
    // The names are put up before the link closes, as they always were.
    names_ = std::move(reply.names);
    out_.push_back({.kind = Kind::ListNames, .names = names_});
    closeLink();
    if (policy_.endsAtListing) {
        end(ExchangeOutcome::of(Ending::Success));
    } else {
        enter(Phase::AwaitingChoice);
    }
}

void ExchangeMachine::fileHeaderIn() {
    dataLength_ = fileDataLength(receivedBytes());
    if (!isUsableDataLength(dataLength_)) {
        endOnTheLine(unusableReply('W', "the file reply announces " + std::to_string(dataLength_) +
                                            " data bytes; 0 to 9999 are possible"));
        return;
    }
    fileBytes_ = kHeaderLength + static_cast<std::size_t>(dataLength_);
    enter(Phase::FetchData);
}

void ExchangeMachine::fileIn() {
    closeLink();
    if (checkFileReply(receivedBytes()).verdict != ReplyVerdict::Accepted) {
        end(unusableReply('B'));
        return;
    }
    enter(Phase::Saving);
}

bool ExchangeMachine::onTheLine() const {
    switch (phase_) {
        case Phase::DirectoryStatus:
        case Phase::DirectoryHeader:
        case Phase::DirectoryEntries:
        case Phase::FetchStatus:
        case Phase::FetchHeader:
        case Phase::FetchData:
        case Phase::AnnounceStatus:
        case Phase::DataStatus:
            return true;
        default:
            return false;
    }
}

// ---- Events

MachineActions ExchangeMachine::start(const ExchangeRequest& request) {
    if (running()) {
        return {};
    }
    request_ = request;
    policy_ = policyOf(request);
    rx_.clear();
    heard_ = ExchangeOutcome::Heard::Nothing;
    fetching_ = false;
    deviceName_.clear();
    localPath_.clear();
    fileBytes_ = 0;
    fileReplyIn_ = 0;
    switch (request.kind) {
        case RequestKind::Receive:
        case RequestKind::List:
        case RequestKind::Find:
            // Names of an earlier listing must not outlive a failed or empty one.
            names_.clear();
            enter(Phase::DirectoryStatus);
            break;
        case RequestKind::Fetch:
            beginFetch(request.name, request.path);
            break;
        case RequestKind::Send:
            if (request.path.empty()) {
                enter(Phase::AskingOpen);
            } else {
                beginLoading(request.path);
            }
            break;
    }
    return take();
}

MachineActions ExchangeMachine::received(std::span<const std::uint8_t> bytes) {
    if (!onTheLine()) {
        return {};
    }
    if (!bytes.empty() && heard_ == ExchangeOutcome::Heard::Nothing) {
        heard_ = ExchangeOutcome::Heard::Bytes;
    }
    // Bytes beyond the buffer are dropped rather than kept without bound; a reply that long
    // fails its check anyway. Only a search's long directory needs more.
    const std::size_t capacity = std::max(kBufferSize, threshold_);
    const std::size_t room = capacity > rx_.size() ? capacity - rx_.size() : 0;
    rx_.insert(rx_.end(), bytes.begin(), bytes.begin() + std::min(room, bytes.size()));
    if (phase_ == Phase::FetchHeader || phase_ == Phase::FetchData) {
        fileReplyIn_ = rx_.size();
    }
    // The status reply of a send is no progress of its data.
    if (progressTotal_ > 0 && phase_ != Phase::DataStatus) {
        progress(rx_.size());
    }
    awaitRest();
    return take();
}

MachineActions ExchangeMachine::frameLeft(std::size_t written) {
    if (phase_ == Phase::DataStatus) {
        // STX first, then the data: the file's header went out with the announcement.
        const std::size_t data =
            std::min(written > 0 ? written - 1 : 0, static_cast<std::size_t>(dataLength_));
        progress(kHeaderLength + data, true);
    }
    return take();
}

MachineActions ExchangeMachine::timedOut() {
    // A timer that fired is no longer armed: nothing to disarm.
    if (onTheLine()) {
        endOnTheLine(notAnswered(Ending::TimedOut));
    }
    return take();
}

MachineActions ExchangeMachine::replyStalled() {
    // Only a reply that has begun stalls; silence before it is the wait's own business.
    if (onTheLine() && !rx_.empty()) {
        cutOff(notAnswered(Ending::Stalled));
    }
    return take();
}

MachineActions ExchangeMachine::lineErrorsSeen() {
    if (onTheLine()) {
        heard_ = ExchangeOutcome::Heard::LineErrors;
        if (policy_.lineErrorsEnd) {
            cutOff(ExchangeOutcome::of(Ending::NoAnswer));
        }
    }
    return take();
}

MachineActions ExchangeMachine::hungUp() {
    if (onTheLine()) {
        cutOff(ExchangeOutcome::of(Ending::Gone));
    }
    return take();
}

MachineActions ExchangeMachine::linkFailed() {
    return policy_.linkFailureEnds ? hungUp() : take();
}

MachineActions ExchangeMachine::cancel() {
    if (onTheLine()) {
        cutOff(ExchangeOutcome::of(Ending::Cancelled));
    } else if (running() && phase_ != Phase::Saving) {
        // A file being written is not cancelled: its outcome follows at once.
        end(ExchangeOutcome::of(Ending::Cancelled));
    }
    return take();
}

MachineActions ExchangeMachine::entryChosen(int index) {
    if (phase_ == Phase::AwaitingChoice && index >= 0 && index < static_cast<int>(names_.size())) {
        chosen_ = names_[static_cast<std::size_t>(index)];
        enter(Phase::AskingSave);
    }
    return take();
}

MachineActions ExchangeMachine::fileChosen(const std::optional<std::string>& path) {
    if (phase_ != Phase::AskingOpen && phase_ != Phase::AskingSave) {
        return {};
    }
    if (!path) {
        end(ExchangeOutcome::of(Ending::NothingChosen));
    } else if (phase_ == Phase::AskingOpen) {
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
        end(ExchangeOutcome::of(Ending::LocalFailure, 0,
                                "the file is shorter than its header announces"));
        return take();
    }
    file.resize(kHeaderLength + static_cast<std::size_t>(dataLength_));
    file_ = std::move(file);
    fileBytes_ = file_.size();
    enter(Phase::AnnounceStatus);
    return take();
}

MachineActions ExchangeMachine::saved() {
    if (phase_ == Phase::Saving) {
        ExchangeOutcome outcome = ExchangeOutcome::of(Ending::Success);
        outcome.savedTo = localPath_;
        end(std::move(outcome));
    }
    return take();
}

MachineActions ExchangeMachine::localFailure(const std::string& reason) {
    if (phase_ == Phase::Loading || phase_ == Phase::Saving) {
        end(ExchangeOutcome::of(Ending::LocalFailure, 0, reason));
    }
    return take();
}

MachineActions ExchangeMachine::endAtListing(ExchangeOutcome::Ending ending) {
    if (phase_ == Phase::AwaitingChoice) {
        end(ExchangeOutcome::of(ending));
    }
    return take();
}

// ---- The transactions

void ExchangeMachine::beginLoading(const std::string& path) {
    localPath_ = path;
    // A name the programmer cannot hold is refused before the file is read: stored under
    // another name, it would be a second file when it comes back.
    UnsendableCharacter unsendable;
    const std::optional<std::string> name = deviceNameFromPath(path, unsendable);
    if (!name) {
        ExchangeOutcome outcome = ExchangeOutcome::of(Ending::LocalFailure);
        outcome.unsendable = std::move(unsendable);
        end(std::move(outcome));
        return;
    }
    deviceName_ = *name;
    enter(Phase::Loading);
}

void ExchangeMachine::beginFetch(const DeviceNameField& name, const std::string& path) {
    fetching_ = true;
    chosen_ = name;
    deviceName_ = nameOf(name);
    localPath_ = path;
    enter(Phase::FetchStatus);
}

void ExchangeMachine::command(const Bytes& frame) {
    // The states before a command are all off the line.
    out_.push_back({.kind = Kind::OpenLink});
    sendFrame(frame);
    // A search's first pass mostly asks silent settings: its wait allows the line time of
    // the frame and the reply and the device's turnaround, not the protocol's second.
    armWait(kStatusReplyLength,
            policy_.shortStatusWait
                ? replyWaitMs(0, frame.size(), kStatusReplyLength, request_.line)
                : statusWaitMs(frame.size(), request_.line));
}

ExchangeOutcome ExchangeMachine::unusableReply(char letter, std::string detail) const {
    if (policy_.badReplyIsNoAnswer) {
        return ExchangeOutcome::of(Ending::NoAnswer);
    }
    return ExchangeOutcome::of(Ending::BadReply, letter, std::move(detail));
}

ExchangeOutcome ExchangeMachine::deviceLetter(char letter) {
    return letter == kStatusAccepted ? ExchangeOutcome::of(Ending::Success)
                                     : ExchangeOutcome::of(Ending::Refused, letter);
}

// ---- Actions

void ExchangeMachine::closeLink() {
    if (onTheLine()) {
        out_.push_back({.kind = Kind::CloseLink});
    }
}

void ExchangeMachine::sendFrame(const Bytes& frame) {
    // Whatever arrived before this frame answers something else.
    rx_.clear();
    out_.push_back({.kind = Kind::Send, .bytes = frame});
}

void ExchangeMachine::armWait(std::size_t threshold, int milliseconds) {
    threshold_ = threshold;
    out_.push_back({.kind = Kind::ArmWait, .threshold = threshold, .milliseconds = milliseconds});
    if (progressTotal_ > 0) {
        const bool sending = phase_ == Phase::DataStatus;
        progress(sending ? kHeaderLength : rx_.size(), sending);
    }
    // A reply that is in already ends the wait at once.
    awaitRest();
}

void ExchangeMachine::awaitRest() {
    if (rx_.size() >= threshold_) {
        replied();
    } else if (!rx_.empty()) {
        // Our rule on top of the protocol's waits: a reply that has begun and then falls
        // silent is cut off, and waiting out its whole time-out would only keep the
        // operator waiting.
        out_.push_back({.kind = Kind::ArmStall, .milliseconds = stallGapMs(request_.line)});
    }
}

std::size_t ExchangeMachine::fileBytesReceived() const {
    // The reply's last byte is its check byte, no part of the file; before the header is
    // whole, its bytes are all there is.
    return std::min(fileReplyIn_, fileBytes_ > 0 ? fileBytes_ : kHeaderLength);
}

ExchangeOutcome ExchangeMachine::notAnswered(Ending ending) const {
    const bool shortReply =
        !rx_.empty() && phase_ != Phase::DirectoryEntries && phase_ != Phase::FetchData;
    return ExchangeOutcome::of(shortReply ? Ending::ShortReply : ending);
}

void ExchangeMachine::disarmWait() {
    if (progressTotal_ > 0 && rx_.size() >= threshold_) {
        // A confirmed send has carried all its bytes, whatever the estimate said.
        progress(progressTotal_, phase_ == Phase::DataStatus);
    }
    progressTotal_ = 0;
    out_.push_back({.kind = Kind::DisarmWait});
}

void ExchangeMachine::progress(std::size_t done, bool sending) {
    out_.push_back({.kind = Kind::Progress,
                    .done = std::min(done, progressTotal_),
                    .total = progressTotal_,
                    .sending = sending});
}

void ExchangeMachine::cutOff(ExchangeOutcome outcome) {
    disarmWait();
    endOnTheLine(std::move(outcome));
}

void ExchangeMachine::endOnTheLine(ExchangeOutcome outcome) {
    closeLink();
    end(std::move(outcome));
}

void ExchangeMachine::end(ExchangeOutcome outcome) {
    outcome.heard = heard_;
    outcome.names = names_;
    phase_ = Phase::Idle;
    progressTotal_ = 0;
    out_.push_back({.kind = Kind::End, .outcome = std::move(outcome)});
}

MachineActions ExchangeMachine::take() {
    return std::exchange(out_, {});
}

}  // namespace dravolin
