#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "core/message_catalog.h"

namespace dravolin {

// Where a long wait stands: bytes done of bytes expected, and the seconds left at the rate
// seen so far (unknown until there is a rate to go by).
struct TransferProgress {
    std::size_t done = 0;
    std::size_t expected = 0;
    std::optional<long> secondsLeft;
    bool silent = false;  // nothing has come for a while: no time left can be told

    int percent() const;
};

// "4096 of 10008 bytes (40%), 7 s left", or "..., line silent" while nothing comes: the one
// wording of progress, in the window and on a terminal alike.
std::string formatProgress(const TransferProgress& progress, Language language);

// Follows one wait: what it expects, when it began and how much was done then, so that
// the rate counts only this wait's bytes. Also decides which measurements are worth
// showing, so that a view is not redrawn for every byte.
class ProgressMeter {
public:
    using Clock = std::chrono::steady_clock;

    void begin(std::size_t expected, std::size_t done, Clock::time_point now);
    // Also notes when `done` last moved: a wait where nothing has moved for a while is
    // silent, whatever rate it had.
    TransferProgress measure(std::size_t done, Clock::time_point now);

    // True for the first measurement and the last one (all done); in between for a new
    // percent or (after a while) a new time left, at most every 100 ms.
    bool worthShowing(const TransferProgress& progress, Clock::time_point now);

private:
    std::size_t expected_ = 0;
    std::size_t doneAtBegin_ = 0;
    Clock::time_point began_;
    std::size_t lastDone_ = 0;
    Clock::time_point movedAt_;
    std::optional<TransferProgress> shown_;
    Clock::time_point shownAt_;
};

}  // namespace dravolin
