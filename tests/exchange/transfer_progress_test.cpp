#include "exchange/transfer_progress.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

using namespace std::chrono_literals;
using Clock = ProgressMeter::Clock;

TEST(TransferProgress, OneWordingInBothLanguages) {
    const TransferProgress half{5004, 10008, 7};
    EXPECT_EQ(formatProgress(half, Language::English), "5004 of 10008 bytes (50%), 7 s left");
    EXPECT_EQ(formatProgress(half, Language::German), "5004 von 10008 Bytes (50 %), noch 7 s");
    EXPECT_EQ(formatProgress({10, 10008, 125}, Language::English),
              "10 of 10008 bytes (0%), 2 min 5 s left");
    // Unknown time left, a finished wait, more than expected, and nothing expected at all.
    EXPECT_EQ(formatProgress({10, 100, std::nullopt}, Language::English), "10 of 100 bytes (10%)");
    EXPECT_EQ(formatProgress({100, 100, 0}, Language::English), "100 of 100 bytes (100%)");
    EXPECT_EQ(formatProgress({120, 100, 0}, Language::English), "100 of 100 bytes (100%)");
    EXPECT_EQ(formatProgress({0, 0, std::nullopt}, Language::English), "0 of 0 bytes (100%)");
    // A silent line has no time left to tell.
    const TransferProgress silent{9100, 10008, 1, true};
    EXPECT_EQ(formatProgress(silent, Language::English), "9100 of 10008 bytes (90%), line silent");
    EXPECT_EQ(formatProgress(silent, Language::German),
              "9100 von 10008 Bytes (90 %), Leitung schweigt");
}

TEST(TransferProgress, TimeLeftComesFromThisWaitsOwnRate) {
    ProgressMeter meter;
    const Clock::time_point start = Clock::now();
    // 1000 of 3000 bytes were there before the wait began; they are no part of its rate.
    meter.begin(3000, 1000, start);
    EXPECT_FALSE(meter.measure(1100, start + 100ms).secondsLeft.has_value());  // too soon
    EXPECT_FALSE(meter.measure(1000, start + 1s).secondsLeft.has_value());     // nothing came
    // 500 bytes in a second: 1500 left take three seconds.
    const TransferProgress measured = meter.measure(1500, start + 1s);
    EXPECT_EQ(measured.percent(), 50);
    EXPECT_EQ(measured.secondsLeft, 3);
    EXPECT_EQ(meter.measure(2999, start + 1s).secondsLeft, 1);  // a part of a second is one
    EXPECT_EQ(meter.measure(3500, start + 2s).done, 3000u);
    EXPECT_EQ(meter.measure(3000, start + 2s).secondsLeft, 0);
}

// A reply that stops is silent half a second after its last byte, whatever rate it had, and
// is shown so at once; the next byte ends the silence.
TEST(TransferProgress, ALineWithoutBytesForHalfASecondIsSilent) {
    ProgressMeter meter;
    const Clock::time_point start = Clock::now();
    meter.begin(3000, 0, start);
    EXPECT_TRUE(meter.worthShowing(meter.measure(1000, start + 1s), start + 1s));
    EXPECT_FALSE(meter.measure(1000, start + 1400ms).silent);
    const TransferProgress stopped = meter.measure(1000, start + 1500ms);
    EXPECT_TRUE(stopped.silent);
    EXPECT_TRUE(meter.worthShowing(stopped, start + 1500ms));
    EXPECT_FALSE(meter.measure(1001, start + 3s).silent);
    EXPECT_FALSE(meter.measure(3000, start + 5s).silent);
}

TEST(TransferProgress, OnlyChangesWorthDrawingAreShownAndAtMostEvery100Ms) {
    ProgressMeter meter;
    const Clock::time_point start = Clock::now();
    meter.begin(1000, 0, start);
    EXPECT_TRUE(meter.worthShowing(meter.measure(0, start), start));
    // A new percent waits until 100 ms have passed since the last showing.
    EXPECT_FALSE(meter.worthShowing(meter.measure(20, start + 20ms), start + 20ms));
    EXPECT_FALSE(meter.worthShowing(meter.measure(90, start + 99ms), start + 99ms));
    EXPECT_TRUE(meter.worthShowing(meter.measure(100, start + 100ms), start + 100ms));
    EXPECT_FALSE(meter.worthShowing(meter.measure(105, start + 250ms), start + 250ms));  // same %
    // A new time left alone is shown, but not more often than four times a second.
    EXPECT_TRUE(meter.worthShowing(meter.measure(300, start + 400ms), start + 400ms));
    EXPECT_FALSE(meter.worthShowing(meter.measure(301, start + 500ms), start + 500ms));
    EXPECT_TRUE(meter.worthShowing(meter.measure(301, start + 700ms), start + 700ms));
    // The end at once, and only once.
    EXPECT_TRUE(meter.worthShowing(meter.measure(1000, start + 710ms), start + 710ms));
    EXPECT_FALSE(meter.worthShowing(meter.measure(1000, start + 2s), start + 2s));
}

}  // namespace
}  // namespace dravolin
