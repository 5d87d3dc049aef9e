#include "sim/device_responder.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace dravolin {

namespace {

// Status letters the device raises itself.
constexpr char kCheckByteWrong = 'X';
constexpr char kNoSuchFile = 'R';
constexpr char kMemoryFull = 'S';
constexpr char kFormatNotObserved = 'W';
constexpr char kCannotStore = 'D';

constexpr std::size_t kCountFieldStart = 12;
constexpr std::size_t kLengthFieldStart = 4;
constexpr std::size_t kFieldLength = 4;

bool checkByteOk(const Bytes& frame) {
    return checkByteMatches(frame, frame.size() - 1);
}

std::string fourDigits(std::size_t value) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04zu", value % 10000);
    return digits;
}

void putField(Bytes& bytes, std::size_t start, const std::string& field) {
    std::copy_n(field.begin(), std::min(field.size(), kFieldLength),
                bytes.begin() + static_cast<long>(start));
}

std::span<const std::uint8_t> nameOf(const Bytes& frame) {
    return std::span<const std::uint8_t>(frame).subspan(1, kNameLength);
}

std::span<const std::uint8_t> headerOfAnnouncement(const Bytes& frame) {
    return std::span<const std::uint8_t>(frame).subspan(1 + kNameLength, kHeaderLength);
}

}  // namespace

DeviceResponder::DeviceResponder(const SimulatorOptions& options, DeviceMemory& memory)
    : options_(options),
      memory_(memory),
      freeBytes_(options.seed, options.plain, options.statusByte) {}

std::optional<DeviceResponder::Reply> DeviceResponder::respond(const ReceivedFrame& frame) {
    const Pending was = pending_;
    Bytes prepared = std::move(pendingReply_);
    Bytes announcement = std::move(pendingAnnouncement_);
    // Whatever arrives ends the transaction in hand, unless the answer opens a new one.
    reset();
    switch (frame.kind) {
        case FrameKind::Directory:
            return answerDirectoryRequest(frame);
        case FrameKind::Fetch:
            return answerFetchRequest(frame);
        case FrameKind::Announcement:
            return answerAnnouncement(frame);
        case FrameKind::GoAhead:
            if (was == Pending::DirectoryReply || was == Pending::FileReply) {
                return answerGoAhead(was == Pending::DirectoryReply, std::move(prepared));
            }
            return std::nullopt;
        case FrameKind::Data:
            if (was == Pending::DataFrame) {
                return answerDataFrame(frame, announcement);
            }
            return std::nullopt;
    }
    return std::nullopt;
}

Expectation DeviceResponder::expectation() const {
    switch (pending_) {
        case Pending::DirectoryReply:
        case Pending::FileReply:
            return {Expectation::Next::GoAhead, 0};
        case Pending::DataFrame:
            return {Expectation::Next::DataFrame, pendingLength_};
        case Pending::Nothing:
            break;
    }
    return {};
}

void DeviceResponder::reset() {
    pending_ = Pending::Nothing;
    pendingReply_.clear();
    pendingAnnouncement_.clear();
    pendingLength_ = 0;
}

std::optional<DeviceResponder::Reply> DeviceResponder::answerDirectoryRequest(
    const ReceivedFrame& frame) {
    if (isSilent(DevicePhase::DirectoryStatus)) {
        return std::nullopt;
    }
    if (auto forced = forcedAnswer(DeviceCommand::Directory)) {
        return status(*forced);
    }
    if (!checkByteOk(frame.bytes)) {
        return status(kCheckByteWrong);
    }
    pendingReply_ = buildDirectoryReply();
    pending_ = Pending::DirectoryReply;
    return status(kStatusAccepted);
}

std::optional<DeviceResponder::Reply> DeviceResponder::answerFetchRequest(
    const ReceivedFrame& frame) {
    if (isSilent(DevicePhase::FetchStatus)) {
        return std::nullopt;
    }
    if (auto forced = forcedAnswer(DeviceCommand::Fetch)) {
        return status(*forced);
    }
    if (!checkByteOk(frame.bytes)) {
        return status(kCheckByteWrong);
    }
    const auto refused =
        options_.refusedFetches.find(DeviceMemory::fileNameOf(nameOf(frame.bytes)));
    if (refused != options_.refusedFetches.end()) {
        return status(refused->second);
    }
    const auto file = memory_.find(nameOf(frame.bytes));
    if (!file) {
        return status(kNoSuchFile);
    }
    pendingReply_ = buildFileReply(file->bytes);
    pending_ = Pending::FileReply;
    return status(kStatusAccepted);
}

std::optional<DeviceResponder::Reply> DeviceResponder::answerAnnouncement(
    const ReceivedFrame& frame) {
    if (isSilent(DevicePhase::AnnounceStatus)) {
        return std::nullopt;
    }
    if (auto forced = forcedAnswer(DeviceCommand::Announce)) {
        return status(*forced);
    }
    const char letter = judgeAnnouncement(frame);
    if (letter == kStatusAccepted) {
        pendingAnnouncement_ = frame.bytes;
        pendingLength_ =
            static_cast<std::size_t>(fileDataLength(headerOfAnnouncement(frame.bytes)));
        pending_ = Pending::DataFrame;
    }
    return status(letter);
}

std::optional<DeviceResponder::Reply> DeviceResponder::answerGoAhead(bool directory,
                                                                     Bytes prepared) const {
    if (isSilent(directory ? DevicePhase::DirectoryReply : DevicePhase::FileReply)) {
        return std::nullopt;
    }
    const DataReply which = directory ? DataReply::Directory : DataReply::File;
    return Reply{finishDataReply(std::move(prepared), which), which};
}

std::optional<DeviceResponder::Reply> DeviceResponder::answerDataFrame(const ReceivedFrame& frame,
                                                                       const Bytes& announcement) {
    if (isSilent(DevicePhase::DataStatus)) {
        return std::nullopt;
    }
    if (auto forced = forcedAnswer(DeviceCommand::Data)) {
        return status(*forced);
    }
    return status(storeData(frame, announcement));
}

char DeviceResponder::judgeAnnouncement(const ReceivedFrame& frame) {
    if (!checkByteOk(frame.bytes)) {
        return kCheckByteWrong;
    }
    const std::string name = DeviceMemory::fileNameOf(nameOf(frame.bytes));
    if (name.empty()) {
        return kFormatNotObserved;
    }
    // A length the four digits cannot hold (a sign, "-001") announces no real file.
    if (!isUsableDataLength(fileDataLength(headerOfAnnouncement(frame.bytes)))) {
        return kFormatNotObserved;
    }
    return memory_.hasRoomFor(name) ? kStatusAccepted : kMemoryFull;
}

char DeviceResponder::storeData(const ReceivedFrame& frame, const Bytes& announcement) {
    if (!checkByteOk(frame.bytes)) {
        return kCheckByteWrong;
    }
    // The file is the announced header followed by the data between STX and check byte.
    const auto header = headerOfAnnouncement(announcement);
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), frame.bytes.begin() + 1, frame.bytes.end() - 1);
    switch (memory_.store(nameOf(announcement), file)) {
        case DeviceMemory::StoreOutcome::Stored:
            return kStatusAccepted;
        case DeviceMemory::StoreOutcome::Full:
            return kMemoryFull;
        case DeviceMemory::StoreOutcome::BadName:
            return kFormatNotObserved;
        case DeviceMemory::StoreOutcome::WriteFailed:
            break;
    }
    return kCannotStore;
}

Bytes DeviceResponder::buildDirectoryReply() {
    // Every file held is listed, also more than the PC's list can show.
    const auto held = memory_.files();
    Bytes reply(kDirectoryHeaderLength + held.size() * kDirectoryEntryLength, ' ');
    freeBytes_.fillDirectoryHeader(std::span(reply).first(kCountFieldStart));
    putField(reply, kCountFieldStart, options_.countField.value_or(fourDigits(held.size())));
    for (std::size_t i = 0; i < held.size(); ++i) {
        const std::size_t at = kDirectoryHeaderLength + i * kDirectoryEntryLength;
        const Bytes name = DeviceMemory::nameField(held[i].name);
        std::copy(name.begin(), name.end(), reply.begin() + static_cast<long>(at));
        freeBytes_.fillEntry(std::span(reply).subspan(at + kNameLength, kNameLength),
                             held[i].bytes.size() - kHeaderLength);
    }
    return reply;
}

Bytes DeviceResponder::buildFileReply(const Bytes& stored) const {
    Bytes reply = stored;
    if (options_.lengthField) {
        putField(reply, kLengthFieldStart, *options_.lengthField);
    }
    return reply;
}

Bytes DeviceResponder::finishDataReply(Bytes body, DataReply which) const {
    body.push_back(xorOf(body));
    if (options_.corruptCheck == which) {
        body.back() ^= 0xFF;
    }
    if (const auto cut = options_.truncate.find(which); cut != options_.truncate.end()) {
        body.resize(std::min(body.size(), cut->second));
    }
    return body;
}

DeviceResponder::Reply DeviceResponder::status(char letter) {
    return Reply{Bytes{freeBytes_.statusByte(), static_cast<std::uint8_t>(letter)}, std::nullopt};
}

std::optional<char> DeviceResponder::forcedAnswer(DeviceCommand command) const {
    const auto found = options_.answers.find(command);
    if (found == options_.answers.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool DeviceResponder::isSilent(DevicePhase phase) const {
    return options_.silentPhases.count(phase) != 0;
}

}  // namespace dravolin
