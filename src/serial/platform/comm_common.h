#pragma once

#include <cstddef>
#include <span>

#include "serial/platform/comm.h"

// What comm_posix.cpp and comm_win32.cpp share below comm.h.

namespace dravolin::comm {

// The slots a wait keeps: the events asked for, and one more for the port's own.
inline constexpr std::size_t kMostEvents = 8;

// Whether `events` can be waited on together: at least one, with a slot left for the port,
// each a usable event. Otherwise sets the last error (EINVAL, EBADF) and is false.
bool canWaitOn(std::span<Event* const> events);

}  // namespace dravolin::comm
