#include "serial/platform/comm.h"
#include "serial/platform/comm_common.h"
#include "serial/platform/marked_input.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace dravolin::comm {

namespace {

using Kind = LinkError::Kind;

struct SpeedEntry {
    int baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool speedForBaud(int baud, speed_t& speed) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

bool parityFlags(char parity, tcflag_t& flags) {
    switch (parity) {
        case 'N':
            flags = 0;
            return true;
        case 'O':
            flags = PARENB | PARODD;
            return true;
        case 'E':
            flags = PARENB;
            return true;
        default:
            return false;
    }
}

// A device that answers like this is gone, not merely busy.
bool meansDeviceGone(int code) {
    return code == EIO || code == ENXIO || code == ENODEV || code == EBADF || code == EPIPE;
}

LinkError failure(Kind kind, const char* call, int code) {
    return LinkError{kind, code, call, errorText(code)};
}

int millisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int millisecondsOf(std::optional<std::chrono::milliseconds> timeout) {
    if (!timeout) {
        return -1;
    }
    return static_cast<int>(
        std::clamp<std::chrono::milliseconds::rep>(timeout->count(), 0, 1'000'000'000));
}

}  // namespace

std::string errorText(int code) {
    if (strerrordesc_np(code) == nullptr) {
        return {};
    }
    char buffer[256];
    return strerror_r(code, buffer, sizeof buffer);  // localised where the system can
}

// ---- Event

Event::Event() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Event::~Event() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void Event::set() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(fd_, &one, sizeof one);
}

void Event::reset() {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t got = ::read(fd_, &count, sizeof count);
}

bool Event::isSet() const {
    pollfd entry{fd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

// ---- the system's port

namespace {

// Polls `entries` until one has something to report: 1, or 0 when `timeout` (unless null)
// passed first; -1 when the poll failed.
int pollEntries(pollfd* entries, nfds_t count, const timespec* timeout) {
    for (;;) {
        const int result = ::ppoll(entries, count, timeout, nullptr);
        if (result >= 0) {
            return result > 0 ? 1 : 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

int pollEntries(pollfd* entries, nfds_t count, int milliseconds) {
    if (milliseconds < 0) {
        return pollEntries(entries, count, nullptr);
    }
    const timespec timeout{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
    return pollEntries(entries, count, &timeout);
}

// The lowest-numbered of `events` that is set (or is `completed`, an event the port set
// just now), -1 when none is; `broken` when one of them is not a usable event.
int lowestSetEvent(std::span<Event* const> events, const pollfd* entries, const Event* completed,
                   bool& broken) {
    broken = false;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if ((entries[i].revents & (POLLERR | POLLNVAL)) != 0) {
            broken = true;
            return -1;
        }
        if ((entries[i].revents & POLLIN) != 0 || events[i] == completed) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool fillEventEntries(std::span<Event* const> events, std::array<pollfd, kMostEvents>& entries) {
    if (!canWaitOn(events)) {
        return false;
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        entries[i] = pollfd{events[i]->fd(), POLLIN, 0};
    }
    return true;
}

enum class Readiness { Ready, TimedOut, Abandoned, Failed };

class SystemPort : public Port {
public:
    SystemPort() = default;
    ~SystemPort() override { close(); }
    SystemPort(const SystemPort&) = delete;
    SystemPort& operator=(const SystemPort&) = delete;

    std::optional<LinkError> open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    void handBack() override;

    std::optional<LinkError> configure(const LineTiming& line) override;
    bool purge() override;
    bool bytesWaiting(std::size_t& count) override;
    bool bytesQueuedForOutput(std::size_t& count) override;

    WaitStart beginEventWait(Event& completion) override;
    int waitForAny(std::span<Event* const> events,
                   std::optional<std::chrono::milliseconds> timeout) override;
    ReadResult read(std::size_t most, std::vector<std::uint8_t>& run,
                    const Event* abandon) override;
    WriteResult write(std::span<const std::uint8_t> bytes, const Event* abandon) override;
    bool hungUp() const override { return hungUp_; }

private:
    // A device that fails like this has gone.
    void noteCode(int code);
    LinkError noteFailure(Kind kind, const char* call, int code);
    bool takenApartFromParity(const termios& wanted) const;
    bool readWaiting(std::size_t most, std::vector<std::uint8_t>& run, ReadResult& result);
    Readiness waitUntilReady(short pollEvents, int milliseconds, const Event* abandon);

    int fd_ = -1;
    bool heldByUs_ = false;  // exclusive use taken and the settings not yet put back
    bool hungUp_ = false;
    termios settingsAtOpen_{};
    // The line marks bytes received with errors in the input, and a 0xFF as 0xFF 0xFF.
    bool marksErrors_ = false;
    MarkedInput marked_;
    std::vector<std::uint8_t> raw_;  // as read, before the marks are taken out
    Event* armedCompletion_ = nullptr;
};

void SystemPort::noteCode(int code) {
    if (meansDeviceGone(code)) {
        hungUp_ = true;
    }
}

LinkError SystemPort::noteFailure(Kind kind, const char* call, int code) {
    noteCode(code);
    return failure(kind, call, code);
}

std::optional<LinkError> SystemPort::open(const std::string& devicePath) {
    close();
    if (devicePath.empty()) {
        return failure(Kind::Open, "open()", ENOENT);
    }
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return failure(Kind::Open, "open()", errno);
    }
    int code = 0;
    if (!isatty(fd)) {
        code = ENOTTY;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Another program holds the device: say so rather than "try again".
        code = errno == EWOULDBLOCK ? EBUSY : errno;
    } else if (tcgetattr(fd, &settingsAtOpen_) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        code = errno;
        flock(fd, LOCK_UN);
    }
    if (code != 0) {
        ::close(fd);
        return failure(Kind::Open, "open()", code);
    }
    fd_ = fd;
    heldByUs_ = true;
    hungUp_ = false;
    marksErrors_ = false;
    marked_ = MarkedInput{};
    armedCompletion_ = nullptr;
    return std::nullopt;
}

void SystemPort::handBack() {
    if (fd_ < 0 || !heldByUs_) {
        return;
    }
    heldByUs_ = false;
    // A real UART would otherwise hold the close until its pending output has drained,
    // which at a low speed or with flow control stopped can take half a minute.
    tcflush(fd_, TCOFLUSH);
    tcsetattr(fd_, TCSANOW, &settingsAtOpen_);
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
}

void SystemPort::close() {
    if (fd_ < 0) {
        return;
    }
    handBack();
    ::close(fd_);
    fd_ = -1;
    armedCompletion_ = nullptr;
}

std::optional<LinkError> SystemPort::configure(const LineTiming& line) {
    speed_t speed = 0;
    tcflag_t parity = 0;
    if (!speedForBaud(line.baudRate, speed) || !parityFlags(line.parity, parity) ||
        (line.stopBits != 1 && line.stopBits != 2)) {
        return failure(Kind::Configure, "tcsetattr()", EINVAL);
    }
    termios wanted{};
    if (tcgetattr(fd_, &wanted) != 0) {
        return noteFailure(Kind::Configure, "tcgetattr()", errno);
    }
    cfmakeraw(&wanted);
    wanted.c_cflag |= CLOCAL | CREAD;
    // 8 data bits, and no flow control of either kind.
    wanted.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    wanted.c_cflag |= CS8 | parity | (line.stopBits == 2 ? CSTOPB : 0);
    wanted.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Errors on input are checked and marked, never ignored or stripped: a byte with a
    // parity or framing error is a sign that the settings of the two ends differ, and the
    // exchange says so. The check also covers framing errors when there is no parity.
    wanted.c_iflag &= ~(IGNPAR | ISTRIP | IGNBRK | BRKINT);
    wanted.c_iflag |= INPCK | PARMRK;
    wanted.c_cc[VMIN] = 1;
    wanted.c_cc[VTIME] = 0;
    cfsetispeed(&wanted, speed);
    cfsetospeed(&wanted, speed);
    if (tcsetattr(fd_, TCSANOW, &wanted) != 0) {
        const int code = errno;
        // A pseudo-terminal keeps no parity and always reports 8 bits; the C library calls
        // that invalid when nothing else changed. Bytes pass all the same, so it is taken.
        if (code != EINVAL || !takenApartFromParity(wanted)) {
            return noteFailure(Kind::Configure, "tcsetattr()", code);
        }
    }
    // tcsetattr succeeds when any part was taken; a refused speed only shows on reading back.
    termios taken{};
    if (tcgetattr(fd_, &taken) != 0) {
        return noteFailure(Kind::Configure, "tcgetattr()", errno);
    }
    if (cfgetospeed(&taken) != speed) {
        return failure(Kind::Configure, "tcsetattr()", EINVAL);
    }
    // RTS held on. A pseudo-terminal has no modem lines and refuses this; the line works
    // without it.
    int rts = TIOCM_RTS;
    ioctl(fd_, TIOCMBIS, &rts);
    marksErrors_ = (taken.c_iflag & (INPCK | PARMRK)) == (INPCK | PARMRK) &&
                   (taken.c_iflag & (IGNPAR | ISTRIP)) == 0;
    marked_ = MarkedInput{};
    return std::nullopt;
}

bool SystemPort::takenApartFromParity(const termios& wanted) const {
    termios taken{};
    if (tcgetattr(fd_, &taken) != 0) {
        return false;
    }
    const tcflag_t parityBits = PARENB | CSIZE;
    return cfgetospeed(&taken) == cfgetospeed(&wanted) && taken.c_iflag == wanted.c_iflag &&
           taken.c_oflag == wanted.c_oflag && taken.c_lflag == wanted.c_lflag &&
           (taken.c_cflag & ~parityBits) == (wanted.c_cflag & ~parityBits);
}

bool SystemPort::purge() {
    if (tcflush(fd_, TCIOFLUSH) != 0) {
        noteCode(errno);
        return false;
    }
    return true;
}

bool SystemPort::bytesWaiting(std::size_t& count) {
    count = 0;
    int pending = 0;
    if (ioctl(fd_, FIONREAD, &pending) != 0) {
        noteCode(errno);
        return false;
    }
    count = static_cast<std::size_t>(pending > 0 ? pending : 0);
    return true;
}

bool SystemPort::bytesQueuedForOutput(std::size_t& count) {
    count = 0;
    int queued = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        noteCode(fd_ < 0 ? EBADF : errno);
        return false;
    }
    count = static_cast<std::size_t>(queued > 0 ? queued : 0);
    return true;
}

WaitStart SystemPort::beginEventWait(Event& completion) {
    completion.reset();
    armedCompletion_ = nullptr;
    if (fd_ < 0 || hungUp_) {
        return WaitStart::Failed;
    }
    std::size_t waiting = 0;
    if (!bytesWaiting(waiting)) {
        hungUp_ = true;  // a port that cannot be asked cannot be watched either
        return WaitStart::Failed;
    }
    if (waiting > 0) {
        completion.set();
        return WaitStart::CompletedAtOnce;
    }
    armedCompletion_ = &completion;
    return WaitStart::Pending;
}

int SystemPort::waitForAny(std::span<Event* const> events,
                           std::optional<std::chrono::milliseconds> timeout) {
    if (armedCompletion_ == nullptr) {
        return timeout ? comm::waitForAny(events, *timeout) : comm::waitForAny(events);
    }
    std::array<pollfd, kMostEvents> entries{};
    if (!fillEventEntries(events, entries)) {
        return -1;
    }
    // Hang-up and errors are reported whatever is asked for.
    pollfd& portEntry = entries[events.size()];
    portEntry = pollfd{fd_, POLLIN, 0};
    for (;;) {
        const int polled = pollEntries(entries.data(), events.size() + 1, millisecondsOf(timeout));
        if (polled <= 0) {
            return polled == 0 ? kWaitTimedOut : -1;
        }
        const Event* completed = nullptr;
        if (portEntry.revents != 0) {
            if ((portEntry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                hungUp_ = true;
            }
            completed = armedCompletion_;
            armedCompletion_->set();
            armedCompletion_ = nullptr;
        }
        bool broken = false;
        const int index = lowestSetEvent(events, entries.data(), completed, broken);
        if (index >= 0 || broken) {
            return index;
        }
        if (completed != nullptr) {
            return -1;  // the port completed a wait on an event nobody waits for
        }
    }
}

Readiness SystemPort::waitUntilReady(short pollEvents, int milliseconds, const Event* abandon) {
    std::array<pollfd, 2> entries{};
    entries[0] = pollfd{fd_, pollEvents, 0};
    nfds_t count = 1;
    if (abandon != nullptr) {
        entries[1] = pollfd{abandon->fd(), POLLIN, 0};
        count = 2;
    }
    const int polled = pollEntries(entries.data(), count, milliseconds);
    if (polled <= 0) {
        return polled == 0 ? Readiness::TimedOut : Readiness::Failed;
    }
    if (count == 2 && (entries[1].revents & POLLIN) != 0) {
        return Readiness::Abandoned;
    }
    return Readiness::Ready;
}

bool SystemPort::readWaiting(std::size_t most, std::vector<std::uint8_t>& run, ReadResult& result) {
    raw_.resize(most);
    for (;;) {
        const ssize_t got = ::read(fd_, raw_.data(), most);
        if (got > 0) {
            const std::size_t before = run.size();
            const auto bytes =
                std::span<const std::uint8_t>(raw_.data(), static_cast<std::size_t>(got));
            if (marksErrors_) {
                result.lineErrors += marked_.decode(bytes, run);
            } else {
                run.insert(run.end(), bytes.begin(), bytes.end());
            }
            result.count += run.size() - before;
            return true;
        }
        if (got == 0) {
            // End of file on a terminal: the other side has gone.
            result.error = noteFailure(Kind::Read, "read()", EIO);
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            return false;
        }
        result.error = noteFailure(Kind::Read, "read()", errno);
        return true;
    }
}

ReadResult SystemPort::read(std::size_t most, std::vector<std::uint8_t>& run,
                            const Event* abandon) {
    ReadResult result;
    if (most == 0 || readWaiting(most, run, result)) {
        return result;
    }
    // The bytes are on their way: wait for the first within the read time-out.
    const Readiness ready = waitUntilReady(POLLIN, static_cast<int>(kReadWaitMs), abandon);
    if (ready == Readiness::Failed) {
        result.error = noteFailure(Kind::Read, "poll()", errno);
    } else if (ready == Readiness::Ready) {
        readWaiting(most, run, result);
    }
    return result;
}

WriteResult SystemPort::write(std::span<const std::uint8_t> bytes, const Event* abandon) {
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(static_cast<std::uint64_t>(kWriteMsPerByte) * bytes.size() +
                                  kWriteMsMore);
    WriteResult result;
    bool pending = false;
    while (result.written < bytes.size()) {
        // A port handed back meanwhile (closing sets `abandon` first) gets no more bytes:
        // the line may already belong to another program.
        if (abandon != nullptr && abandon->isSet()) {
            return result;
        }
        const ssize_t put =
            ::write(fd_, bytes.data() + result.written, bytes.size() - result.written);
        if (put > 0) {
            result.written += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno != EAGAIN) {
            const LinkError error = noteFailure(Kind::Write, "write()", errno);
            // Only a write the system refused at once is a failure to tell; one that was
            // under way ends like one that timed out.
            if (!pending && result.written == 0) {
                result.error = error;
            }
            return result;
        }
        pending = true;
        if (waitUntilReady(POLLOUT, millisecondsLeft(deadline), abandon) != Readiness::Ready) {
            return result;
        }
    }
    return result;
}

}  // namespace

std::unique_ptr<Port> makeSystemPort() {
    return std::make_unique<SystemPort>();
}

std::string defaultDevicePath(int port) {
    return port < 1 ? std::string() : "/dev/ttyS" + std::to_string(port - 1);
}

// ---- waiting

namespace {

int waitForAnyUntil(std::span<Event* const> events, const timespec* timeout) {
    std::array<pollfd, kMostEvents> entries{};
    if (!fillEventEntries(events, entries)) {
        return -1;
    }
    for (;;) {
        const int polled = pollEntries(entries.data(), events.size(), timeout);
        if (polled <= 0) {
            return polled == 0 ? kWaitTimedOut : -1;
        }
        bool broken = false;
        const int index = lowestSetEvent(events, entries.data(), nullptr, broken);
        if (index >= 0 || broken) {
            return index;
        }
    }
}

}  // namespace

int waitForAny(std::span<Event* const> events) {
    return waitForAnyUntil(events, nullptr);
}

int waitForAny(std::span<Event* const> events, std::chrono::microseconds timeout) {
    const auto micros = std::max<std::chrono::microseconds::rep>(timeout.count(), 0);
    const timespec limit{static_cast<time_t>(micros / 1'000'000), (micros % 1'000'000) * 1000L};
    return waitForAnyUntil(events, &limit);
}

}  // namespace dravolin::comm
