// The simulated programmer's side of the line: the frame receiver cutting the PC's bytes
// into frames and the responder answering them, over a memory of real files.
//
// Two kinds of input, chosen by the first byte: any bytes at all, as a confused or hostile
// PC might send them; or a conversation of frames built by the PC's own frame builders,
// some of them damaged, which must come out of the receiver exactly as they went in.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "protocol/frames.h"
#include "protocol/replies.h"
#include "sim/device_memory.h"
#include "sim/device_responder.h"
#include "sim/frame_receiver.h"

using namespace dravolin;
using dravolin::fuzz::require;

namespace {

constexpr std::size_t kCapacity = 3;  // two files held, room for one more

Bytes textBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string fourDigits(std::size_t value) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04zu", value);
    return digits;
}

bool sameFiles(const std::vector<DeviceMemory::StoredFile>& a,
               const std::vector<DeviceMemory::StoredFile>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.name == y.name && x.bytes == y.bytes;
    });
}

bool checkByteRight(const Bytes& frame) {
    return fuzz::referenceXor(std::span(frame).first(frame.size() - 1)) == frame.back();
}

// The device with its memory in a scratch folder, put back as it was after each input
// that changed it, so that every input starts with the same two files.
class Device {
public:
    Device() : memory_(folder_.path(), kCapacity, [](const std::string&) {}) {
        options_.files = folder_.path();
        options_.capacity = kCapacity;
        restore();
        held_ = memory_.files();
    }

    void startInput() {
        if (changed_) {
            restore();
        }
        receiver_.reset();
        responder_.reset();
        expectation_ = Expectation{};
        frameExpectation_ = Expectation{};
        passed_.clear();
        stored_ = false;
    }

    // One byte from the PC. Returns the frame it completed with the device's answer.
    struct Answer {
        Bytes frame;
        std::optional<DeviceResponder::Reply> reply;
    };
    std::optional<Answer> feed(std::uint8_t byte) {
        const bool starts = !receiver_.hasPartialFrame();
        if (starts) {
            frameExpectation_ = expectation_;
        }
        const FrameReceiver::Fed fed = receiver_.feed(byte);
        if (fed.skipped) {
            require(starts, "a byte inside a frame is never skipped");
            require(!canStartFrame(byte), "only a byte that starts nothing awaited is skipped");
            passed_.push_back(byte);
        }
        if (!fed.frame) {
            return std::nullopt;
        }
        const ReceivedFrame& frame = *fed.frame;
        checkFrameShape(frame);
        passed_.insert(passed_.end(), frame.bytes.begin(), frame.bytes.end());
        Answer answer{frame.bytes, answerFrame(frame)};
        return answer;
    }

    // The end of an input: every byte the PC sent is accounted for, and the memory changed
    // only through a data frame the device accepted.
    void finishInput(std::span<const std::uint8_t> sent) {
        const Bytes dropped = receiver_.reset();
        passed_.insert(passed_.end(), dropped.begin(), dropped.end());
        require(std::equal(passed_.begin(), passed_.end(), sent.begin(), sent.end()),
                "every byte is skipped, in a frame or in the partial frame, in order");
        if (!stored_) {
            require(sameFiles(held_, memory_.files()),
                    "nothing but an accepted data frame changes the memory");
        }
    }

    DeviceMemory& memory() { return memory_; }
    const Expectation& expectation() const { return expectation_; }

private:
    void restore() {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            std::filesystem::remove_all(entry.path(), error);
        }
        fuzz::writeFile(folder_.path() / "TAG00001.tiv", textBytes("TR010012ZONE B GATE5"));
        fuzz::writeFile(folder_.path() / "EMPTY.tiv", textBytes("TR010000"));
        changed_ = false;
    }

    bool canStartFrame(std::uint8_t byte) const {
        if (byte == kDirectoryCommand || byte == kFetchCommand || byte == kTransferCommand) {
            return true;
        }
        return byte == kStx && expectation_.next != Expectation::Next::Command;
    }

    void checkFrameShape(const ReceivedFrame& frame) const {
        const Bytes& bytes = frame.bytes;
        std::size_t length = 0;
        std::uint8_t first = kStx;
        switch (frame.kind) {
            case FrameKind::Directory:
                length = 2;
                first = kDirectoryCommand;
                break;
            case FrameKind::Fetch:
                length = kFetchRequestLength;
                first = kFetchCommand;
                break;
            case FrameKind::Announcement:
                length = kAnnouncementLength;
                first = kTransferCommand;
                break;
            case FrameKind::GoAhead:
                require(frameExpectation_.next == Expectation::Next::GoAhead,
                        "a go-ahead is taken only when one is awaited");
                length = 1;
                break;
            case FrameKind::Data:
                require(frameExpectation_.next == Expectation::Next::DataFrame,
                        "a data frame is taken only when one is awaited");
                length = frameExpectation_.dataLength + 2;
                break;
        }
        require(bytes.size() == length && bytes[0] == first,
                "a frame has the length and first byte of its kind");
    }

    std::optional<DeviceResponder::Reply> answerFrame(const ReceivedFrame& frame) {
        const Expectation awaited = expectation_;
        std::optional<DeviceResponder::Reply> reply = responder_.respond(frame);
        expectation_ = responder_.expectation();
        receiver_.expect(expectation_);

        if (frame.kind == FrameKind::GoAhead) {
            checkDataReply(reply);
            return reply;
        }
        // Every other frame ends in a check byte, and without knobs the device answers it;
        // byte 0 of its reply is anything.
        require(reply.has_value() && !reply->dataReply && reply->bytes.size() == 2,
                "a command or data frame gets a two-byte status reply");
        const char letter = static_cast<char>(reply->bytes[1]);
        if (!checkByteRight(frame.bytes)) {
            require(letter == 'X', "a frame with a wrong check byte is answered 'X'");
            require(expectation_.next == Expectation::Next::Command,
                    "after a wrong check byte the device waits for a new command");
            return reply;
        }
        require(letter != 'X', "a frame with a right check byte is not answered 'X'");
        switch (frame.kind) {
            case FrameKind::Directory:
                require(letter == kStatusAccepted, "a directory request is accepted");
                break;
            case FrameKind::Fetch:
                checkFetchAnswer(frame.bytes, letter);
                break;
            case FrameKind::Announcement:
                checkAnnouncementAnswer(frame.bytes, letter);
                break;
            case FrameKind::Data:
                checkDataAnswer(frame.bytes, letter, awaited);
                break;
            case FrameKind::GoAhead:
                break;
        }
        return reply;
    }

    void checkFetchAnswer(const Bytes& frame, char letter) {
        const auto name = std::span(frame).subspan(1, kNameLength);
        const auto held = memory_.find(name);
        require((letter == kStatusAccepted) == held.has_value(),
                "a fetch is accepted exactly when the name is held");
        fetched_ = held ? held->bytes : Bytes{};
    }

    void checkAnnouncementAnswer(const Bytes& frame, char letter) {
        const long length = fuzz::referenceDecimal(std::span(frame).subspan(13, 4));
        if (letter != kStatusAccepted) {
            require(expectation_.next == Expectation::Next::Command,
                    "a refused announcement awaits no data");
            return;
        }
        require(length >= 0 && length <= 9999 &&
                    !DeviceMemory::fileNameOf(std::span(frame).subspan(1, kNameLength)).empty(),
                "only an announcement of a usable name and length is accepted");
        require(expectation_.next == Expectation::Next::DataFrame &&
                    expectation_.dataLength == static_cast<std::size_t>(length),
                "an accepted announcement awaits a data frame of the announced length");
        announcement_ = frame;
    }

    void checkDataAnswer(const Bytes& frame, char letter, const Expectation& awaited) {
        require(awaited.next == Expectation::Next::DataFrame, "data comes after an announcement");
        if (letter != kStatusAccepted) {
            return;
        }
        stored_ = true;
        changed_ = true;
        Bytes expected(announcement_.begin() + 9, announcement_.begin() + 17);
        expected.insert(expected.end(), frame.begin() + 1, frame.end() - 1);
        const auto held = memory_.find(std::span(announcement_).subspan(1, kNameLength));
        require(held && held->bytes == expected,
                "an accepted data frame is stored as the announced header and the data");
    }

    void checkDataReply(const std::optional<DeviceResponder::Reply>& reply) {
        require(reply.has_value() && reply->dataReply.has_value(),
                "an awaited go-ahead is answered with a data reply");
        if (*reply->dataReply == DataReply::Directory) {
            const DirectoryReply parsed = checkDirectoryReply(reply->bytes);
            const auto held = memory_.files();
            require(parsed.verdict == ReplyVerdict::Accepted &&
                        reply->bytes.size() == directoryReplyLength(parsed.count) &&
                        parsed.names.size() == held.size(),
                    "the directory reply passes the PC's check and lists every file held");
            for (std::size_t i = 0; i < held.size(); ++i) {
                const Bytes field = DeviceMemory::nameField(held[i].name);
                require(std::equal(field.begin(), field.end(), parsed.names[i].begin()),
                        "the directory lists the names held, in order");
            }
            return;
        }
        const FileReply parsed = checkFileReply(reply->bytes);
        require(parsed.verdict == ReplyVerdict::Accepted &&
                    reply->bytes.size() == fileReplyLength(parsed.dataLength) &&
                    std::equal(parsed.file.begin(), parsed.file.end(), fetched_.begin(),
                               fetched_.end()),
                "the file reply passes the PC's check and carries the file held");
    }

    fuzz::ScratchFolder folder_;
    SimulatorOptions options_;
    DeviceMemory memory_;
    DeviceResponder responder_{options_, memory_};
    FrameReceiver receiver_;

    Expectation expectation_;       // what the receiver was told to await
    Expectation frameExpectation_;  // what was awaited when the current frame began
    Bytes passed_;
    Bytes announcement_;
    Bytes fetched_;
    bool stored_ = false;
    bool changed_ = false;
    std::vector<DeviceMemory::StoredFile> held_;  // what every input starts with
};

// Feeds a whole frame built by the PC's builders: it must come out as one frame, at its
// last byte, exactly as built.
std::optional<DeviceResponder::Reply> sendFrame(Device& device, const Bytes& frame, Bytes& sent) {
    std::optional<Device::Answer> answer;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        sent.push_back(frame[i]);
        answer = device.feed(frame[i]);
        require(answer.has_value() == (i + 1 == frame.size()),
                "a built frame is received whole at its last byte");
    }
    require(answer->frame == frame, "a built frame is received exactly as built");
    return answer->reply;
}

// One byte of a command or data frame damaged, never the first (that would make another
// kind of frame).
Bytes maybeDamaged(FuzzedDataProvider& input, Bytes frame) {
    if (frame.size() > 1 && input.ConsumeBool()) {
        const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(1, frame.size() - 1);
        frame[at] ^= input.ConsumeIntegralInRange<std::uint8_t>(1, 255);
    }
    return frame;
}

char statusOf(const std::optional<DeviceResponder::Reply>& reply) {
    return reply && reply->bytes.size() == 2 ? static_cast<char>(reply->bytes[1]) : '\0';
}

void converse(Device& device, FuzzedDataProvider& input, Bytes& sent) {
    for (int step = 0; step < 6 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 2)) {
            case 0:
                if (statusOf(sendFrame(device, maybeDamaged(input, directoryRequest()), sent)) ==
                    kStatusAccepted) {
                    sendFrame(device, goAhead(), sent);
                }
                break;
            case 1: {
                Bytes name =
                    input.ConsumeBool()
                        ? DeviceMemory::nameField(input.ConsumeBool() ? "TAG00001" : "EMPTY")
                        : input.ConsumeBytes<std::uint8_t>(kNameLength);
                name.resize(kNameLength, ' ');
                if (statusOf(sendFrame(device, maybeDamaged(input, fetchRequest(name)), sent)) ==
                    kStatusAccepted) {
                    sendFrame(device, goAhead(), sent);
                }
                break;
            }
            default: {
                const std::string name = input.ConsumeRandomLengthString(kNameLength);
                const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 300);
                Bytes header = input.ConsumeBytes<std::uint8_t>(4);
                header.resize(4, '0');
                const std::string field = fourDigits(length);
                header.insert(header.end(), field.begin(), field.end());
                Bytes data = input.ConsumeBytes<std::uint8_t>(length);
                data.resize(length, 0);
                const Bytes announcement = transferAnnouncement(name, header);
                if (statusOf(sendFrame(device, maybeDamaged(input, announcement), sent)) ==
                    kStatusAccepted) {
                    require(device.expectation().next == Expectation::Next::DataFrame &&
                                device.expectation().dataLength == length,
                            "an accepted announcement awaits its data frame");
                    sendFrame(device, maybeDamaged(input, dataFrame(data)), sent);
                }
                break;
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Device device;
    if (size == 0) {
        return 0;
    }
    device.startInput();
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if (data[0] % 2 == 0) {
        for (const std::uint8_t byte : rest) {
            device.feed(byte);
        }
        device.finishInput(rest);
    } else {
        FuzzedDataProvider input(rest.data(), rest.size());
        Bytes sent;
        converse(device, input, sent);
        device.finishInput(sent);
    }
    return 0;
}
