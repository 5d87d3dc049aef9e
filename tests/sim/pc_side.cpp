#include "pc_side.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace dravolin::test {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

}  // namespace

PcSide::PcSide(const std::string& devicePath)
    : fd_(::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (!fd_.isOpen()) {
        ADD_FAILURE() << "cannot open " << devicePath << ": " << std::strerror(errno);
        return;
    }
    ::ioctl(fd_.get(), TIOCEXCL);
    termios modes{};
    ::tcgetattr(fd_.get(), &modes);
    ::cfmakeraw(&modes);
    ::tcsetattr(fd_.get(), TCSANOW, &modes);
    ::tcflush(fd_.get(), TCIOFLUSH);
}

void PcSide::send(const Bytes& bytes) const {
    std::size_t written = 0;
    const Clock::time_point deadline = Clock::now() + kPatience;
    while (written < bytes.size() && Clock::now() < deadline) {
        const ssize_t n = ::write(fd_.get(), bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
        pollfd out{fd_.get(), POLLOUT, 0};
        ::poll(&out, 1, millisecondsUntil(deadline));
    }
    ASSERT_EQ(written, bytes.size()) << "the line took only part of the frame";
}

Bytes PcSide::receive(std::size_t count, std::chrono::milliseconds patience) const {
    Bytes received;
    const Clock::time_point deadline = Clock::now() + patience;
    while (received.size() < count) {
        pollfd in{fd_.get(), POLLIN, 0};
        if (::poll(&in, 1, millisecondsUntil(deadline)) <= 0 || (in.revents & POLLIN) == 0) {
            break;
        }
        std::uint8_t chunk[4096];
        const ssize_t n = ::read(fd_.get(), chunk, std::min(sizeof chunk, count - received.size()));
        if (n <= 0) {
            break;
        }
        received.insert(received.end(), chunk, chunk + n);
    }
    return received;
}

Bytes PcSide::receiveFor(std::chrono::milliseconds window) const {
    return receive(static_cast<std::size_t>(-1), window);
}

Bytes PcSide::exchange(const Bytes& frame, std::size_t count) const {
    send(frame);
    return receive(count);
}

bool PcSide::waitForHangup(std::chrono::milliseconds patience) const {
    const Clock::time_point deadline = Clock::now() + patience;
    for (;;) {
        pollfd in{fd_.get(), POLLIN, 0};
        const int ready = ::poll(&in, 1, millisecondsUntil(deadline));
        if (ready <= 0) {
            return false;
        }
        if ((in.revents & POLLHUP) != 0) {
            return true;
        }
        std::uint8_t chunk[256];
        if (::read(fd_.get(), chunk, sizeof chunk) < 0 && errno != EAGAIN) {
            return false;
        }
    }
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes fetchRequestFor(const std::string& name) {
    Bytes field(kNameLength, ' ');
    std::copy(name.begin(), name.end(), field.begin());
    return fetchRequest(field);
}

Bytes withWrongCheckByte(Bytes frame) {
    frame.back() ^= 0x5A;
    return frame;
}

}  // namespace dravolin::test
