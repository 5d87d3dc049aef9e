#include "pc_side.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace dravolin::test {

PcSide::PcSide(const std::string& devicePath)
    : fd_(::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (!fd_.isOpen()) {
        ADD_FAILURE() << "cannot open " << devicePath << ": " << std::strerror(errno);
    }
}

void PcSide::send(const Bytes& bytes) const {
    // Frames here are far smaller than the terminal's buffer, so one write takes them.
    ASSERT_EQ(::write(fd_.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

Bytes PcSide::receive(std::size_t count, std::chrono::milliseconds patience) const {
    using Clock = std::chrono::steady_clock;
    Bytes received;
    const Clock::time_point deadline = Clock::now() + patience;
    while (received.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd in{fd_.get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&in, 1, static_cast<int>(left.count())) <= 0 ||
            (in.revents & POLLIN) == 0) {
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

Bytes PcSide::exchange(const Bytes& frame, std::size_t count) const {
    send(frame);
    return receive(count);
}

bool PcSide::waitForHangup() const {
    // Reads whatever still comes until the line ends or the patience passes.
    receive(SIZE_MAX, kPatience);
    pollfd in{fd_.get(), POLLIN, 0};
    return ::poll(&in, 1, 0) == 1 && (in.revents & POLLHUP) != 0;
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
