#include "sim/line_pacer.h"

#include <algorithm>

namespace dravolin {

LinePacer::LinePacer(std::optional<LinePace> pace) {
    if (pace && pace->baud > 0) {
        const long long bits = bitsPerByte(*pace);
        // Rounded to the nearest nanosecond; the error stays far below a microsecond
        // over the longest reply.
        byteTime_ =
            std::chrono::nanoseconds((bits * 1'000'000'000LL + pace->baud / 2) / pace->baud);
    }
}

int LinePacer::bitsPerByte(const LinePace& pace) {
    const int startBit = 1;
    const int dataBits = 8;
    const int parityBits = pace.parity == 'N' ? 0 : 1;
    return startBit + dataBits + parityBits + pace.stopBits;
}

LinePacer::Clock::time_point LinePacer::receivedAt(Clock::time_point readAt) {
    return advance(receiveLineFree_, readAt, byteTime_);
}

LinePacer::Clock::time_point LinePacer::sentAt(Clock::time_point readyAt) {
    return advance(sendLineFree_, readyAt, byteTime_);
}

void LinePacer::reset() {
    receiveLineFree_ = {};
    sendLineFree_ = {};
}

LinePacer::Clock::time_point LinePacer::advance(Clock::time_point& lineFree, Clock::time_point from,
                                                std::chrono::nanoseconds byteTime) {
    lineFree = std::max(lineFree, from) + byteTime;
    return lineFree;
}

}  // namespace dravolin
