#include "serial/platform/comm.h"
#include "serial/platform/comm_common.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>

namespace dravolin::comm {

namespace {

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

int baudForSpeed(speed_t speed) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.speed == speed) {
            return entry.baud;
        }
    }
    return 0;
}

// A device that answers like this is gone, not merely busy.
bool meansDeviceGone(int code) {
    return code == EIO || code == ENXIO || code == ENODEV || code == EBADF || code == EPIPE;
}

struct SettingsFields {
    int baud = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
};

bool parseSetting(const std::string& key, const std::string& value, SettingsFields& fields) {
    if (key == "baud" && fields.baud == 0) {
        return parseWholeNumber(value, fields.baud) && fields.baud > 0;
    }
    if (key == "parity" && fields.parity == 0) {
        if (value.size() != 1) {
            return false;
        }
        const char parity = static_cast<char>(value[0] & ~0x20);  // either case
        fields.parity = parity;
        return parity == 'N' || parity == 'O' || parity == 'E' || parity == 'M' || parity == 'S';
    }
    if (key == "data" && fields.dataBits == 0) {
        return parseWholeNumber(value, fields.dataBits) && fields.dataBits >= 5 &&
               fields.dataBits <= 8;
    }
    if (key == "stop" && fields.stopBits == 0) {
        return parseWholeNumber(value, fields.stopBits) &&
               (fields.stopBits == 1 || fields.stopBits == 2);
    }
    return false;  // unknown or repeated key
}

bool parseSettings(const std::string& text, SettingsFields& fields) {
    std::size_t start = 0;
    int parts = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string part = text.substr(start, end - start);
        const std::size_t equals = part.find('=');
        if (equals == std::string::npos ||
            !parseSetting(part.substr(0, equals), part.substr(equals + 1), fields)) {
            return false;
        }
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

void applyDataBits(termios& settings, int dataBits) {
    settings.c_cflag &= ~CSIZE;
    switch (dataBits) {
        case 5:
            settings.c_cflag |= CS5;
            break;
        case 6:
            settings.c_cflag |= CS6;
            break;
        case 7:
            settings.c_cflag |= CS7;
            break;
        default:
            settings.c_cflag |= CS8;
            break;
    }
}

void applyParity(termios& settings, char parity) {
    settings.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
        case 'O':
            settings.c_cflag |= PARENB | PARODD;
            break;
        case 'E':
            settings.c_cflag |= PARENB;
            break;
        case 'M':
            settings.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case 'S':
            settings.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
}

int millisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

std::string errorText(int code) {
    if (strerrordesc_np(code) == nullptr) {
        return {};
    }
    char buffer[256];
    return strerror_r(code, buffer, sizeof buffer);  // localised where the system can
}

bool buildLineState(const std::string& settings, LineState& state) {
    SettingsFields fields;
    if (!parseSettings(settings, fields) || fields.baud == 0 || fields.parity == 0 ||
        fields.dataBits == 0 || fields.stopBits == 0) {
        setLastError(EINVAL);
        return false;
    }
    termios& line = state.settings;
    cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cflag &= ~CRTSCTS;  // no flow control unless asked for, and nothing asks
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Errors on input are checked and marked, never ignored or stripped: a byte with a
    // parity or framing error is a sign that the settings of the two ends differ, and the
    // exchange says so. The check also covers framing errors when there is no parity.
    line.c_iflag &= ~(IGNPAR | ISTRIP | IGNBRK | BRKINT);
    line.c_iflag |= INPCK | PARMRK;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    applyDataBits(line, fields.dataBits);
    applyParity(line, fields.parity);
    if (fields.stopBits == 2) {
        line.c_cflag |= CSTOPB;
    } else {
        line.c_cflag &= ~CSTOPB;
    }
    state.baud = fields.baud;
    return true;
}

bool marksLineErrors(const LineState& state) {
    const tcflag_t flags = state.settings.c_iflag;
    return (flags & (INPCK | PARMRK)) == (INPCK | PARMRK) && (flags & (IGNPAR | ISTRIP)) == 0;
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

// Polls `entries` until one has something to report; false with lastError() set when
// the poll failed, or with ETIMEDOUT when `timeout` (unless null) passed first.
bool pollEntries(pollfd* entries, nfds_t count, const timespec* timeout) {
    for (;;) {
        const int result = ::ppoll(entries, count, timeout, nullptr);
        if (result > 0) {
            return true;
        }
        if (result == 0) {
            setLastError(ETIMEDOUT);
            return false;
        }
        if (errno != EINTR) {
            setLastError(errno);
            return false;
        }
    }
}

bool pollEntries(pollfd* entries, nfds_t count, int milliseconds) {
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
            setLastError(EBADF);
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

class SystemPort : public Port {
public:
    SystemPort() = default;
    ~SystemPort() override { close(); }
    SystemPort(const SystemPort&) = delete;
    SystemPort& operator=(const SystemPort&) = delete;

    bool open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    void handBack() override;

    bool setTimeouts(const Timeouts& timeouts) override;
    bool setEventMask(unsigned mask) override;
    bool eventMask(unsigned& mask) const override;
    bool readState(LineState& state) const override;
    bool applyState(const LineState& state) override;
    bool purge() override;
    bool bytesWaiting(std::size_t& count) override;
    bool bytesQueuedForOutput(std::size_t& count) override;

    WaitStart beginEventWait(Event& completion) override;
    int waitForAny(std::span<Event* const> events) override;
    ReadOutcome read(std::span<std::uint8_t> buffer, std::size_t& count,
                     const Event* abandon) override;
    WriteOutcome write(std::span<const std::uint8_t> bytes, const Event* abandon) override;
    bool hungUp() const override { return hungUp_; }

private:
    void noteFailure(int code);
    bool takenApartFromParity(const termios& wanted) const;
    ReadOutcome readWaiting(std::span<std::uint8_t> buffer, std::size_t& count);
    bool waitUntilReady(short pollEvents, int milliseconds, const Event* abandon, bool& abandoned);

    int fd_ = -1;
    bool heldByUs_ = false;  // exclusive use taken and the settings not yet put back
    bool hungUp_ = false;
    termios settingsAtOpen_{};
    unsigned eventMask_ = 0;
    Timeouts timeouts_;
    Event* armedCompletion_ = nullptr;
};

bool SystemPort::open(const std::string& devicePath) {
    close();
    if (devicePath.empty()) {
        setLastError(ENOENT);
        return false;
    }
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setLastError(errno);
        return false;
    }
    int failure = 0;
    if (!isatty(fd)) {
        failure = ENOTTY;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Another program holds the device: say so rather than "try again".
        failure = errno == EWOULDBLOCK ? EBUSY : errno;
    } else if (tcgetattr(fd, &settingsAtOpen_) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        failure = errno;
        flock(fd, LOCK_UN);
    }
    if (failure != 0) {
        ::close(fd);
        setLastError(failure);
        return false;
    }
    fd_ = fd;
    heldByUs_ = true;
    hungUp_ = false;
    armedCompletion_ = nullptr;
    return true;
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

void SystemPort::noteFailure(int code) {
    setLastError(code);
    if (meansDeviceGone(code)) {
        hungUp_ = true;
    }
}

bool SystemPort::setTimeouts(const Timeouts& timeouts) {
    if (fd_ < 0) {
        setLastError(EBADF);
        return false;
    }
    timeouts_ = timeouts;
    return true;
}

bool SystemPort::setEventMask(unsigned mask) {
    if (fd_ < 0) {
        setLastError(EBADF);
        return false;
    }
    eventMask_ = mask;
    return true;
}

bool SystemPort::eventMask(unsigned& mask) const {
    if (fd_ < 0) {
        setLastError(EBADF);
        return false;
    }
    mask = eventMask_;
    return true;
}

bool SystemPort::readState(LineState& state) const {
    if (tcgetattr(fd_, &state.settings) != 0) {
        setLastError(errno);
        return false;
    }
    state.baud = baudForSpeed(cfgetospeed(&state.settings));
    return true;
}

bool SystemPort::applyState(const LineState& state) {
    speed_t speed = 0;
    if (!speedForBaud(state.baud, speed)) {
        setLastError(EINVAL);
        return false;
    }
    termios wanted = state.settings;
    cfsetispeed(&wanted, speed);
    cfsetospeed(&wanted, speed);
    if (tcsetattr(fd_, TCSANOW, &wanted) != 0) {
        const int code = errno;
        // A pseudo-terminal keeps no parity and always reports 8 bits; the C library calls
        // that invalid when nothing else changed. Bytes pass all the same, so it is taken.
        if (code != EINVAL || !takenApartFromParity(wanted)) {
            noteFailure(code);
            return false;
        }
    }
    // tcsetattr succeeds when any part was taken; a refused speed only shows on reading back.
    termios taken{};
    if (tcgetattr(fd_, &taken) != 0) {
        noteFailure(errno);
        return false;
    }
    if (cfgetospeed(&taken) != speed) {
        setLastError(EINVAL);
        return false;
    }
    // A pseudo-terminal has no modem lines and refuses this; the line works without it.
    int rts = TIOCM_RTS;
    ioctl(fd_, state.rtsControl == 0 ? TIOCMBIC : TIOCMBIS, &rts);
    return true;
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
        noteFailure(errno);
        return false;
    }
    return true;
}

bool SystemPort::bytesWaiting(std::size_t& count) {
    int pending = 0;
    if (ioctl(fd_, FIONREAD, &pending) != 0) {
        noteFailure(errno);
        count = 0;
        return false;
    }
    count = static_cast<std::size_t>(pending > 0 ? pending : 0);
    return true;
}

bool SystemPort::bytesQueuedForOutput(std::size_t& count) {
    count = 0;
    int queued = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        noteFailure(fd_ < 0 ? EBADF : errno);
        return false;
    }
    count = static_cast<std::size_t>(queued > 0 ? queued : 0);
    return true;
}

WaitStart SystemPort::beginEventWait(Event& completion) {
    completion.reset();
    armedCompletion_ = nullptr;
    if (fd_ < 0 || hungUp_) {
        setLastError(fd_ < 0 ? EBADF : EIO);
        return WaitStart::Failed;
    }
    std::size_t waiting = 0;
    if (!bytesWaiting(waiting)) {
        hungUp_ = true;  // a port that cannot be asked cannot be watched either
        return WaitStart::Failed;
    }
    if ((eventMask_ & kEventReceived) != 0 && waiting > 0) {
        completion.set();
        return WaitStart::CompletedAtOnce;
    }
    armedCompletion_ = &completion;
    return WaitStart::Pending;
}

int SystemPort::waitForAny(std::span<Event* const> events) {
    if (armedCompletion_ == nullptr) {
        return comm::waitForAny(events);
    }
    std::array<pollfd, kMostEvents> entries{};
    if (!fillEventEntries(events, entries)) {
        return -1;
    }
    // Hang-up and errors are reported whatever is asked for.
    const short portEvents = (eventMask_ & kEventReceived) != 0 ? POLLIN : 0;
    pollfd& portEntry = entries[events.size()];
    portEntry = pollfd{fd_, portEvents, 0};
    for (;;) {
        if (!pollEntries(entries.data(), events.size() + 1, -1)) {
            return -1;
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

bool SystemPort::waitUntilReady(short pollEvents, int milliseconds, const Event* abandon,
                                bool& abandoned) {
    abandoned = false;
    std::array<pollfd, 2> entries{};
    entries[0] = pollfd{fd_, pollEvents, 0};
    nfds_t count = 1;
    if (abandon != nullptr) {
        entries[1] = pollfd{abandon->fd(), POLLIN, 0};
        count = 2;
    }
    if (!pollEntries(entries.data(), count, milliseconds)) {
        return false;
    }
    if (count == 2 && (entries[1].revents & POLLIN) != 0) {
        abandoned = true;
        return false;
    }
    return true;
}

ReadOutcome SystemPort::readWaiting(std::span<std::uint8_t> buffer, std::size_t& count) {
    count = 0;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got > 0) {
            count = static_cast<std::size_t>(got);
            return ReadOutcome::Read;
        }
        if (got == 0) {
            noteFailure(EIO);  // end of file on a terminal: the other side has gone
            return ReadOutcome::FailedAtOnce;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            return ReadOutcome::Nothing;
        }
        noteFailure(errno);
        return ReadOutcome::FailedAtOnce;
    }
}

ReadOutcome SystemPort::read(std::span<std::uint8_t> buffer, std::size_t& count,
                             const Event* abandon) {
    count = 0;
    if (buffer.empty()) {
        return ReadOutcome::Nothing;
    }
    const ReadOutcome first = readWaiting(buffer, count);
    if (first != ReadOutcome::Nothing) {
        return first;
    }
    // The bytes are on their way: wait for the first within the read time-outs.
    const std::uint32_t total = timeouts_.readTotalMultiplier + timeouts_.readTotalConstant;
    bool abandoned = false;
    if (!waitUntilReady(POLLIN, total == 0 ? -1 : static_cast<int>(total), abandon, abandoned)) {
        return abandoned || lastError() == ETIMEDOUT ? ReadOutcome::Nothing
                                                     : ReadOutcome::FailedLate;
    }
    const ReadOutcome late = readWaiting(buffer, count);
    return late == ReadOutcome::FailedAtOnce ? ReadOutcome::FailedLate : late;
}

WriteOutcome SystemPort::write(std::span<const std::uint8_t> bytes, const Event* abandon) {
    const auto total = std::chrono::milliseconds(
        static_cast<std::uint64_t>(timeouts_.writeTotalMultiplier) * bytes.size() +
        timeouts_.writeTotalConstant);
    const bool timed = total.count() > 0;
    const auto deadline = std::chrono::steady_clock::now() + total;
    std::size_t done = 0;
    bool pending = false;
    while (done < bytes.size()) {
        // A port handed back meanwhile (closing sets `abandon` first) gets no more bytes:
        // the line may already belong to another program.
        if (abandon != nullptr && abandon->isSet()) {
            return WriteOutcome::Abandoned;
        }
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno != EAGAIN) {
            noteFailure(errno);
            return pending || done > 0 ? WriteOutcome::EndedLate : WriteOutcome::FailedAtOnce;
        }
        pending = true;
        bool abandoned = false;
        if (!waitUntilReady(POLLOUT, timed ? millisecondsLeft(deadline) : -1, abandon, abandoned)) {
            return abandoned ? WriteOutcome::Abandoned : WriteOutcome::EndedLate;
        }
    }
    return WriteOutcome::Written;
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
        if (!pollEntries(entries.data(), events.size(), timeout)) {
            return lastError() == ETIMEDOUT ? kWaitTimedOut : -1;
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
