#include "sim/wake_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace dravolin {

bool WakeSignal::open(std::string& error) {
    fd_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd_.isOpen()) {
        error = std::string("cannot create an event descriptor: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void WakeSignal::raise() {
    const std::uint64_t one = 1;
    // A full counter already wakes the reader, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
}

}  // namespace dravolin
