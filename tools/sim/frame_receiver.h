#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/frames.h"

namespace dravolin {

enum class FrameKind { Directory, Fetch, Announcement, GoAhead, Data };

struct ReceivedFrame {
    FrameKind kind = FrameKind::Directory;
    Bytes bytes;  // the whole frame as it arrived, check byte included
};

// What the device waits for next.
struct Expectation {
    enum class Next { Command, GoAhead, DataFrame };
    Next next = Next::Command;
    std::size_t dataLength = 0;  // of the data frame, when that is next
};

// Cuts the bytes from the PC into frames. A command letter starts a command frame of its
// fixed length; a data frame's length comes from the announcement before it. Bytes that
// cannot start what is expected are skipped, and a command letter always starts afresh,
// so a PC that gave up half-way is understood again at its next command.
class FrameReceiver {
public:
    struct Fed {
        bool skipped = false;                // the byte started nothing and was dropped
        std::optional<ReceivedFrame> frame;  // set when the byte completed a frame
    };

    void expect(const Expectation& expectation);
    Fed feed(std::uint8_t byte);

    // True while a frame is half-read or something other than a command is awaited.
    bool isWaiting() const;
    bool hasPartialFrame() const { return !partial_.empty(); }

    // Forgets the partial frame and waits for a command again; returns the dropped bytes.
    Bytes reset();

private:
    bool startFrame(std::uint8_t byte);
    std::optional<ReceivedFrame> completeFrame();

    Expectation expectation_;
    Bytes partial_;
    FrameKind partialKind_ = FrameKind::Directory;
    std::size_t partialLength_ = 0;
};

}  // namespace dravolin
