#include "sim/frame_receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravolin {
namespace {

struct FeedLog {
    std::vector<ReceivedFrame> frames;
    std::size_t skipped = 0;
};

FeedLog feedAll(FrameReceiver& receiver, const std::string& bytes) {
    FeedLog log;
    for (const char c : bytes) {
        const auto fed = receiver.feed(static_cast<std::uint8_t>(c));
        log.skipped += fed.skipped ? 1 : 0;
        if (fed.frame) {
            log.frames.push_back(*fed.frame);
        }
    }
    return log;
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(FrameReceiverTest, CutsCommandsByTheirFixedLengths) {
    FrameReceiver receiver;
    const std::string announcement = "TNAME    HEADER01" + std::string(1, '\x11');

    const auto log = feedAll(receiver, "DD" + std::string("GTAG00001") + "\x33" + announcement);

    ASSERT_EQ(log.frames.size(), 3u);
    EXPECT_EQ(log.frames[0].kind, FrameKind::Directory);
    EXPECT_EQ(log.frames[0].bytes, bytesOf("DD"));
    EXPECT_EQ(log.frames[1].kind, FrameKind::Fetch);
    EXPECT_EQ(log.frames[1].bytes.size(), kFetchRequestLength);
    EXPECT_EQ(log.frames[2].kind, FrameKind::Announcement);
    EXPECT_EQ(log.frames[2].bytes, bytesOf(announcement));
    EXPECT_EQ(log.skipped, 0u);
}

TEST(FrameReceiverTest, AGoAheadCountsOnlyWhenExpected) {
    FrameReceiver receiver;
    EXPECT_EQ(feedAll(receiver, "\x02").skipped, 1u);

    receiver.expect({Expectation::Next::GoAhead, 0});
    const auto log = feedAll(receiver, "\x02");

    ASSERT_EQ(log.frames.size(), 1u);
    EXPECT_EQ(log.frames[0].kind, FrameKind::GoAhead);
    EXPECT_FALSE(receiver.isWaiting()) << "one go-ahead per accepted command";
}

TEST(FrameReceiverTest, ADataFrameTakesTheAnnouncedLengthWhateverItHolds) {
    FrameReceiver receiver;
    receiver.expect({Expectation::Next::DataFrame, 4});

    // The data holds command letters and STX; they are data here.
    const auto log = feedAll(receiver, std::string("\x02"
                                                   "DG\x02T") +
                                           "\x55");

    ASSERT_EQ(log.frames.size(), 1u);
    EXPECT_EQ(log.frames[0].kind, FrameKind::Data);
    EXPECT_EQ(log.frames[0].bytes.size(), 6u);
}

TEST(FrameReceiverTest, AnEmptyDataFrameIsTwoBytes) {
    FrameReceiver receiver;
    receiver.expect({Expectation::Next::DataFrame, 0});

    const auto log = feedAll(receiver, "\x02\x02");

    ASSERT_EQ(log.frames.size(), 1u);
    EXPECT_EQ(log.frames[0].bytes, bytesOf("\x02\x02"));
}

TEST(FrameReceiverTest, ACommandInsteadOfTheAwaitedFrameStartsAfresh) {
    FrameReceiver receiver;
    receiver.expect({Expectation::Next::GoAhead, 0});

    const auto log = feedAll(receiver, "xDD");

    EXPECT_EQ(log.skipped, 1u);
    ASSERT_EQ(log.frames.size(), 1u);
    EXPECT_EQ(log.frames[0].kind, FrameKind::Directory);
}

TEST(FrameReceiverTest, ResetHandsBackThePartialFrame) {
    FrameReceiver receiver;
    feedAll(receiver, "GTAG");
    EXPECT_TRUE(receiver.hasPartialFrame());

    EXPECT_EQ(receiver.reset(), bytesOf("GTAG"));

    EXPECT_FALSE(receiver.isWaiting());
    EXPECT_EQ(feedAll(receiver, "DD").frames.size(), 1u);
}

}  // namespace
}  // namespace dravolin
