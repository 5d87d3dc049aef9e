#include "sim/frame_receiver.h"

#include <utility>

namespace dravolin {

namespace {

constexpr std::size_t kDirectoryRequestLength = 2;

}  // namespace

void FrameReceiver::expect(const Expectation& expectation) {
    expectation_ = expectation;
    partial_.clear();
}

FrameReceiver::Fed FrameReceiver::feed(std::uint8_t byte) {
    Fed fed;
    if (partial_.empty()) {
        if (!startFrame(byte)) {
            fed.skipped = true;
            return fed;
        }
    } else {
        partial_.push_back(byte);
    }
    fed.frame = completeFrame();
    return fed;
}

bool FrameReceiver::isWaiting() const {
    return !partial_.empty() || expectation_.next != Expectation::Next::Command;
}

Bytes FrameReceiver::reset() {
    expectation_ = Expectation{};
    return std::exchange(partial_, Bytes{});
}

bool FrameReceiver::startFrame(std::uint8_t byte) {
    switch (byte) {
        case kDirectoryCommand:
            partialKind_ = FrameKind::Directory;
            partialLength_ = kDirectoryRequestLength;
            break;
        case kFetchCommand:
            partialKind_ = FrameKind::Fetch;
            partialLength_ = kFetchRequestLength;
            break;
        case kTransferCommand:
            partialKind_ = FrameKind::Announcement;
            partialLength_ = kAnnouncementLength;
            break;
        case kStx:
            if (expectation_.next == Expectation::Next::GoAhead) {
                partialKind_ = FrameKind::GoAhead;
                partialLength_ = 1;
            } else if (expectation_.next == Expectation::Next::DataFrame) {
                partialKind_ = FrameKind::Data;
                partialLength_ = expectation_.dataLength + 2;
            } else {
                return false;
            }
            break;
        default:
            return false;
    }
    partial_.push_back(byte);
    return true;
}

std::optional<ReceivedFrame> FrameReceiver::completeFrame() {
    if (partial_.size() < partialLength_) {
        return std::nullopt;
    }
    ReceivedFrame frame{partialKind_, std::exchange(partial_, Bytes{})};
    expectation_ = Expectation{};
    return frame;
}

}  // namespace dravolin
