#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>

namespace dravolin {

namespace {

constexpr int kSendTimeoutMs = 10000;  // for room to write, each time

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

PtyPair::PtyPair() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return;
    }
    std::array<char, 128> name{};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name.data(), name.size()) != 0 ||
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        ::close(master);
        return;
    }
    master_ = master;
    devicePath_ = name.data();
}

PtyPair::~PtyPair() {
    hangUp();
}

bool PtyPair::send(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd entry{master_, POLLOUT, 0};
        if (::poll(&entry, 1, kSendTimeoutMs) <= 0) {
            return false;  // the link has not taken a byte for a long while
        }
    }
    return true;
}

std::string PtyPair::receive(std::size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string bytes;
    std::array<char, 4096> buffer{};
    while (bytes.size() < count) {
        pollfd entry{master_, POLLIN, 0};
        if (::poll(&entry, 1, millisecondsUntil(deadline)) <= 0 || (entry.revents & POLLIN) == 0) {
            break;  // time is up, or the link has closed its side
        }
        const ssize_t got =
            ::read(master_, buffer.data(), std::min(buffer.size(), count - bytes.size()));
        if (got <= 0) {
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            break;
        }
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    }
    return bytes;
}

bool PtyPair::lineSettings(termios& settings) const {
    return tcgetattr(master_, &settings) == 0;
}

bool PtyPair::setLineSettings(const termios& settings) {
    return tcsetattr(master_, TCSANOW, &settings) == 0;
}

void PtyPair::hangUp() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

}  // namespace dravolin
