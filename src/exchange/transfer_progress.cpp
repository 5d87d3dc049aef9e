#include "exchange/transfer_progress.h"

#include <algorithm>
#include <cmath>

namespace dravolin {

namespace {

using namespace std::chrono_literals;

// A rate taken from less than this would swing wildly.
constexpr auto kRateSettles = 300ms;
// Progress is drawn at most this often (but for its start and end): more often costs the
// processor and shows nothing an operator could read.
constexpr auto kShortestUpdate = 100ms;
// The time left is shown anew at most this often when nothing else changed.
constexpr auto kTimeLeftRefresh = 250ms;
// A reply trickles in runs at most 100 ms apart, and a frame leaves in steps as often:
// nothing for this long means the line is silent.
constexpr auto kSilentAfter = 500ms;

std::string durationText(long seconds) {
    if (seconds < 60) {
        return std::to_string(seconds) + " s";
    }
    return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
}

// ", 7 s left", ", 2 min 5 s left".
std::string timeLeftText(long seconds, Language language) {
    return ", " + fillPlaceholders(MessageCatalog::text(TextId::ProgressTimeLeft, language),
                                   {durationText(seconds)});
}

}  // namespace

int TransferProgress::percent() const {
    if (expected == 0) {
        return 100;
    }
    return static_cast<int>(std::min(done, expected) * 100 / expected);
}

std::string formatProgress(const TransferProgress& progress, Language language) {
    const std::size_t done = std::min(progress.done, progress.expected);
    std::string text = fillPlaceholders(MessageCatalog::text(TextId::ProgressBytes, language),
                                        {std::to_string(done), std::to_string(progress.expected),
                                         std::to_string(progress.percent())});
    if (done >= progress.expected) {
        return text;
    }
    if (progress.silent) {
        text += ", " + std::string(MessageCatalog::text(TextId::ProgressLineSilent, language));
    } else if (progress.secondsLeft) {
        text += timeLeftText(*progress.secondsLeft, language);
    }
    return text;
}

void ProgressMeter::begin(std::size_t expected, std::size_t done, Clock::time_point now) {
    expected_ = expected;
    doneAtBegin_ = std::min(done, expected);
    began_ = now;
    lastDone_ = doneAtBegin_;
    movedAt_ = now;
    shown_.reset();
}

TransferProgress ProgressMeter::measure(std::size_t done, Clock::time_point now) {
    TransferProgress progress;
    progress.expected = expected_;
    progress.done = std::min(done, expected_);
    if (progress.done != lastDone_) {
        lastDone_ = progress.done;
        movedAt_ = now;
    }
    progress.silent = progress.done < expected_ && now - movedAt_ >= kSilentAfter;
    const auto elapsed = std::chrono::duration<double>(now - began_);
    const std::size_t moved = progress.done > doneAtBegin_ ? progress.done - doneAtBegin_ : 0;
    if (progress.done >= expected_) {
        progress.secondsLeft = 0;
    } else if (elapsed >= kRateSettles && moved > 0) {
        const double rate = static_cast<double>(moved) / elapsed.count();
        progress.secondsLeft =
            static_cast<long>(std::ceil(static_cast<double>(expected_ - progress.done) / rate));
    }
    return progress;
}

bool ProgressMeter::worthShowing(const TransferProgress& progress, Clock::time_point now) {
    bool worth = false;
    if (!shown_) {
        worth = true;
    } else if (progress.done >= progress.expected) {
        worth = shown_->done < shown_->expected;  // the end is shown at once, and once
    } else if (now - shownAt_ >= kShortestUpdate) {
        worth = progress.percent() != shown_->percent() || progress.silent != shown_->silent ||
                (progress.secondsLeft != shown_->secondsLeft && now - shownAt_ >= kTimeLeftRefresh);
    }
    if (worth) {
        shown_ = progress;
        shownAt_ = now;
    }
    return worth;
}

}  // namespace dravolin
