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

}  // namespace

// ---- Events

MachineActions ExchangeMachine::start(const ExchangeRequest& request) {
    if (running()) {
        return {};
    }
    request_ = request;
    rx_.clear();
    heard_ = ExchangeOutcome::Heard::Nothing;
    fetching_ = false;
    deviceName_.clear();
    localPath_.clear();
    fileBytes_ = 0;
    fileReplyIn_ = 0;
    if (request.kind == ExchangeRequest::Kind::Receive ||
        request.kind == ExchangeRequest::Kind::List ||
        request.kind == ExchangeRequest::Kind::Find) {
        // Names of an earlier listing must not outlive a failed or empty one.
        names_.clear();
        command(Phase::DirectoryStatus, directoryRequest());
    } else if (request.kind == ExchangeRequest::Kind::Fetch) {
        beginFetch(request.name, request.path);
    } else if (request.path.empty()) {
        phase_ = Phase::AskingOpen;
        out_.push_back({.kind = Kind::AskFile});
    } else {
        beginLoading(request.path);
    }
    return take();
}

MachineActions ExchangeMachine::received(std::span<const std::uint8_t> bytes) {
    if (!linkOpen_) {
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
    if (waitArmed_) {
        // The status reply of a send is no progress of its data.
        if (progressTotal_ > 0 && phase_ != Phase::DataStatus) {
            progress(rx_.size());
        }
        awaitRest();
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
    // A timer that fired is no longer armed: nothing to disarm.
    if (waitArmed_) {
        waitArmed_ = false;
        progressTotal_ = 0;
        endOnTheLine(notAnswered(Ending::TimedOut));
    }
    return take();
}

MachineActions ExchangeMachine::replyStalled() {
    // Only a reply that has begun stalls; silence before it is the wait's own business.
    if (waitArmed_ && !rx_.empty()) {
        const ExchangeOutcome outcome = notAnswered(Ending::Stalled);
        disarmWait();
        endOnTheLine(outcome);
    }
    return take();
}

MachineActions ExchangeMachine::lineErrorsSeen() {
    if (linkOpen_) {
        heard_ = ExchangeOutcome::Heard::LineErrors;
    }
    // Errors say that a setting differs from the programmer's: a search need not wait.
    if (request_.kind == ExchangeRequest::Kind::Find && waitArmed_) {
        disarmWait();
        endOnTheLine(ExchangeOutcome::of(Ending::NoAnswer));
    }
    return take();
}

MachineActions ExchangeMachine::hungUp() {
    if (waitArmed_) {
        disarmWait();
        endOnTheLine(ExchangeOutcome::of(Ending::Gone));
    }
    return take();
}

MachineActions ExchangeMachine::linkFailed() {
    return request_.kind == ExchangeRequest::Kind::Find ? hungUp() : take();
}

MachineActions ExchangeMachine::cancel() {
    // A file being written is not cancelled: its outcome follows at once.
    if (running() && phase_ != Phase::Saving) {
        if (waitArmed_) {
            disarmWait();
        }
        endOnTheLine(ExchangeOutcome::of(Ending::Cancelled));
    }
    return take();
}

MachineActions ExchangeMachine::entryChosen(int index) {
    if (phase_ == Phase::AwaitingChoice && index >= 0 && index < static_cast<int>(names_.size())) {
        chosen_ = names_[static_cast<std::size_t>(index)];
        phase_ = Phase::AskingSave;
        out_.push_back({.kind = Kind::AskFile, .save = true, .path = nameOf(chosen_)});
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
    announcement_ = transferAnnouncement(deviceName_, std::span(file_).first(kHeaderLength));
    command(Phase::AnnounceStatus, announcement_);
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
    phase_ = Phase::Loading;
    out_.push_back({.kind = Kind::LoadFile, .path = path});
}

void ExchangeMachine::beginFetch(const DeviceNameField& name, const std::string& path) {
    fetching_ = true;
    deviceName_ = nameOf(name);
    localPath_ = path;
    command(Phase::FetchStatus, fetchRequest(name));
}

void ExchangeMachine::command(Phase phase, const Bytes& frame) {
    if (!linkOpen_) {
        linkOpen_ = true;
        out_.push_back({.kind = Kind::OpenLink});
    }
    sendFrame(frame);
    phase_ = phase;
    // A search's first pass mostly asks silent settings: its wait allows the line time of
    // the frame and the reply and the device's turnaround, not the protocol's second.
    armWait(kStatusReplyLength,
            request_.shortFirstWait
                ? replyWaitMs(0, frame.size(), kStatusReplyLength, request_.line)
                : statusWaitMs(frame.size(), request_.line));
}

void ExchangeMachine::afterReply() {
    disarmWait();
    const LineTiming& line = request_.line;
    // Byte 0 of a status reply is the programmer's own business; byte 1 is its letter, and
    // any letter but '0' ends the transaction with it, printable or not.
    const char letter = statusLetter(receivedBytes());
    switch (phase_) {
        case Phase::DirectoryStatus:
        case Phase::FetchStatus:
            if (letter != kStatusAccepted) {
                // A refused fetch keeps the link open while its outcome is told, as it
                // always has.
                const bool fetch = phase_ == Phase::FetchStatus;
                if (!fetch) {
                    closeLink();
                }
                end(deviceLetter(letter));
                closeLink();
                return;
            }
            sendFrame(goAhead());
            phase_ = phase_ == Phase::FetchStatus ? Phase::FetchHeader : Phase::DirectoryHeader;
            armWait(phase_ == Phase::FetchHeader ? kHeaderLength : kDirectoryHeaderLength,
                    phase_ == Phase::FetchHeader ? fileHeaderWaitMs(line)
                                                 : directoryHeaderWaitMs(line));
            return;
        case Phase::DirectoryHeader:
            afterDirectoryHeader();
            return;
        case Phase::DirectoryEntries:
            afterDirectoryEntries();
            return;
        case Phase::FetchHeader:
            dataLength_ = fileDataLength(receivedBytes());
            if (!isUsableDataLength(dataLength_)) {
                closeLink();
                end(ExchangeOutcome::of(Ending::BadReply, 'W',
                                        "the file reply announces " + std::to_string(dataLength_) +
                                            " data bytes; 0 to 9999 are possible"));
                return;
            }
            fileBytes_ = kHeaderLength + static_cast<std::size_t>(dataLength_);
            phase_ = Phase::FetchData;
            progressTotal_ = fileBytes_;
            armWait(fileReplyLength(dataLength_),
                    fileDataWaitMs(static_cast<int>(dataLength_), line));
            return;
        case Phase::FetchData:
            afterFetchData();
            return;
        case Phase::AnnounceStatus:
            if (letter != kStatusAccepted) {
                endOnTheLine(deviceLetter(letter));
                return;
            }
            // The length as the announcement carries it: the file's own header field.
            dataLength_ = readDecimalField(announcement_, 13, 17);
            sendFrame(dataFrame(
                std::span(file_).subspan(kHeaderLength, static_cast<std::size_t>(dataLength_))));
            phase_ = Phase::DataStatus;
            progressTotal_ = fileBytes_;
            armWait(kStatusReplyLength, dataStatusWaitMs(static_cast<int>(dataLength_), line));
            return;
        case Phase::DataStatus: {
            ExchangeOutcome outcome = deviceLetter(letter);
            outcome.storedAs = letter == kStatusAccepted ? deviceName_ : std::string();
            endOnTheLine(std::move(outcome));
            return;
        }
        default:
            return;
    }
}

void ExchangeMachine::afterDirectoryHeader() {
    const long count = directoryCount(receivedBytes());
    if (count == 0 && !request_.wantedName.empty()) {
        endOnTheLine(ExchangeOutcome::of(Ending::NotHeld));
        return;
    }
    if (count == 0) {
        endOnTheLine(ExchangeOutcome::of(Ending::NoFiles));
        return;
    }
    if (count < 0 || count > largestDirectory()) {
        endOnTheLine(unusableReply('W', "the directory announces " + std::to_string(count) +
                                            " entries; at most 15 can be listed"));
        return;
    }
    // No frame: the rest of the reply follows the header.
    phase_ = Phase::DirectoryEntries;
    const std::size_t length = directoryReplyLength(count);
    progressTotal_ = length;
    armWait(length, directoryEntriesWaitMs(static_cast<int>(count), request_.line));
}

void ExchangeMachine::afterDirectoryEntries() {
    DirectoryReply reply = checkDirectoryReply(receivedBytes(), largestDirectory());
    if (reply.verdict != ReplyVerdict::Accepted) {
        endOnTheLine(unusableReply('B'));
        return;
    }
    // The names are put up before the link closes, as they always were.
    names_ = std::move(reply.names);
    out_.push_back({.kind = Kind::ListNames, .names = names_});
    closeLink();
    if (request_.kind != ExchangeRequest::Kind::Receive) {
        end(ExchangeOutcome::of(Ending::Success));
    } else {
        phase_ = Phase::AwaitingChoice;
    }
}

void ExchangeMachine::afterFetchData() {
    closeLink();
    const FileReply reply = checkFileReply(receivedBytes());
    if (reply.verdict != ReplyVerdict::Accepted) {
        end(ExchangeOutcome::of(Ending::BadReply, 'B'));
        return;
    }
    phase_ = Phase::Saving;
    out_.push_back({.kind = Kind::Save,
                    .bytes = Bytes(reply.file.begin(), reply.file.end()),
                    .path = localPath_,
                    .keepExisting = request_.keepExisting});
}

// ---- Actions

void ExchangeMachine::closeLink() {
    if (linkOpen_) {
        linkOpen_ = false;
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
    waitArmed_ = true;
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
        afterReply();
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
    waitArmed_ = false;
    out_.push_back({.kind = Kind::DisarmWait});
}

void ExchangeMachine::progress(std::size_t done, bool sending) {
    out_.push_back({.kind = Kind::Progress,
                    .done = std::min(done, progressTotal_),
                    .total = progressTotal_,
                    .sending = sending});
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

ExchangeOutcome ExchangeMachine::unusableReply(char letter, std::string detail) const {
    if (request_.kind != ExchangeRequest::Kind::Find) {
        return ExchangeOutcome::of(Ending::BadReply, letter, std::move(detail));
    }
    return ExchangeOutcome::of(Ending::NoAnswer);
}

ExchangeOutcome ExchangeMachine::deviceLetter(char letter) {
    return letter == kStatusAccepted ? ExchangeOutcome::of(Ending::Success)
                                     : ExchangeOutcome::of(Ending::Refused, letter);
}

long ExchangeMachine::largestDirectory() const {
    // A search asks only whether the programmer answers at these settings: a directory
    // longer than the list holds is an answer too.
    return request_.kind == ExchangeRequest::Kind::Find ? kLargestCount
                                                        : static_cast<long>(kMaxDirectoryEntries);
}

MachineActions ExchangeMachine::take() {
    return std::exchange(out_, {});
}

}  // namespace dravolin
