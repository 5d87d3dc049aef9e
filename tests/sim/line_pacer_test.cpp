#include "sim/line_pacer.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

using namespace std::chrono_literals;
using Clock = LinePacer::Clock;

TEST(LinePacerTest, BitsPerByteCountStartDataParityAndStopBits) {
    EXPECT_EQ(LinePacer::bitsPerByte({9600, 'N', 1}), 10);
    EXPECT_EQ(LinePacer::bitsPerByte({9600, 'E', 1}), 11);
    EXPECT_EQ(LinePacer::bitsPerByte({9600, 'O', 2}), 12);
}

TEST(LinePacerTest, ByteTimeFollowsTheBaudRate) {
    // 11 bits at 57600 baud: 190972.2 ns.
    EXPECT_EQ(LinePacer(LinePace{57600, 'E', 1}).byteTime(), 190972ns);
    EXPECT_EQ(LinePacer(LinePace{9600, 'N', 1}).byteTime(), 1041667ns);
    EXPECT_EQ(LinePacer(std::nullopt).byteTime(), 0ns);
}

TEST(LinePacerTest, WithoutPaceEveryByteIsDueAtOnce) {
    LinePacer pacer(std::nullopt);
    const Clock::time_point now = Clock::now();
    EXPECT_EQ(pacer.sentAt(now), now);
    EXPECT_EQ(pacer.receivedAt(now), now);
}

TEST(LinePacerTest, ScheduleIsAbsoluteSoLateCallsDoNotAddUp) {
    LinePacer pacer(LinePace{9600, 'N', 1});
    const Clock::time_point start = Clock::now();
    Clock::time_point last{};
    // A reply queued at `start`, its bytes scheduled whenever the loop gets round to them.
    for (int i = 0; i < 1000; ++i) {
        last = pacer.sentAt(start);
    }
    EXPECT_EQ(last - start, 1000 * pacer.byteTime());
}

TEST(LinePacerTest, AnIdleLineStartsAgainFromNow) {
    LinePacer pacer(LinePace{9600, 'N', 1});
    const Clock::time_point start = Clock::now();
    pacer.sentAt(start);
    const Clock::time_point later = start + 1s;

    EXPECT_EQ(pacer.sentAt(later), later + pacer.byteTime());
}

TEST(LinePacerTest, DirectionsAreIndependent) {
    LinePacer pacer(LinePace{9600, 'N', 1});
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 10; ++i) {
        pacer.receivedAt(start);
    }

    EXPECT_EQ(pacer.sentAt(start), start + pacer.byteTime());
    EXPECT_EQ(pacer.receivedAt(start), start + 11 * pacer.byteTime());
}

}  // namespace
}  // namespace dravolin
