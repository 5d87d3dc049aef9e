#pragma once

#include <cstddef>
#include <span>

#include "serial/platform/comm.h"

// What comm_posix.cpp and comm_win32.cpp share below comm.h.

namespace dravolin::comm {

// The slots a wait keeps: the events asked for, and one more for the port's own.
inline constexpr std::size_t kMostEvents = 8;

// The link's time-outs: a read waits this long for bytes said to be waiting (the old
// platform's 1000 ms a byte and 1000 ms more, for the one byte it asked for); a write may
// take this long a byte, and this long more.
inline constexpr unsigned kReadWaitMs = 2000;
inline constexpr unsigned kWriteMsPerByte = 1000;
inline constexpr unsigned kWriteMsMore = 1000;

// Whether `events` can be waited on together: at least one, with a slot left for the port,
// each a usable event.
bool canWaitOn(std::span<Event* const> events);

}  // namespace dravolin::comm
