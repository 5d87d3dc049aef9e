#include "sim/wake_signal.h"

#include <poll.h>
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

bool WakeSignal::isRaised() const {
    pollfd watched{fd_.get(), POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN) != 0;
}

}  // namespace dravolin
