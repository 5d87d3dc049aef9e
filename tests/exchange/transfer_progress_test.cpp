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

TEST(TransferProgress, OnlyChangesWorthDrawingAreShown) {
    ProgressMeter meter;
    const Clock::time_point start = Clock::now();
    meter.begin(1000, 0, start);
    EXPECT_TRUE(meter.worthShowing(meter.measure(0, start), start));
    EXPECT_FALSE(meter.worthShowing(meter.measure(5, start + 10ms), start + 10ms));  // same %
    EXPECT_TRUE(meter.worthShowing(meter.measure(10, start + 20ms), start + 20ms));
    // A new time left is shown, but not more often than four times a second.
    EXPECT_TRUE(meter.worthShowing(meter.measure(300, start + 400ms), start + 400ms));
    EXPECT_FALSE(meter.worthShowing(meter.measure(301, start + 500ms), start + 500ms));
    EXPECT_TRUE(meter.worthShowing(meter.measure(301, start + 700ms), start + 700ms));
    EXPECT_TRUE(meter.worthShowing(meter.measure(1000, start + 710ms), start + 710ms));
    EXPECT_FALSE(meter.worthShowing(meter.measure(1000, start + 2s), start + 2s));  // shown
}

}  // namespace
}  // namespace dravolin
