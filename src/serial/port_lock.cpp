#include "serial/port_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "protocol/unique_fd.h"

namespace dravolin {

namespace {

constexpr int kTakeAttempts = 3;
// How long a taker of a stale lock waits for its turn.
constexpr std::chrono::milliseconds kTakeoverWait{1000};
// No lock of any program is longer: ten digits, a line end and some slack.
constexpr std::size_t kLongestLock = 31;

// Locks this process holds now; a lock with our process id that is not among them was
// left by an earlier process that had the same id.
std::mutex heldLocksMutex;
std::set<std::string> heldLocks;

bool heldByThisProcess(const std::string& lockPath) {
    std::lock_guard lock(heldLocksMutex);
    return heldLocks.count(lockPath) != 0;
}

void noteHeld(const std::string& lockPath, bool held) {
    std::lock_guard lock(heldLocksMutex);
    if (held) {
        heldLocks.insert(lockPath);
    } else {
        heldLocks.erase(lockPath);
    }
}

bool isDirectory(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// A process that has ended but not been waited for still answers kill(); it holds nothing.
bool processLives(pid_t pid) {
    if (pid <= 0) {
        return false;
    }
    if (::kill(pid, 0) != 0 && errno != EPERM) {
        return false;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (std::getline(stat, line)) {
        const std::size_t close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z') {
            return false;
        }
    }
    return true;
}

std::string errorText(int code) {
    return std::strerror(code);
}

// A lock that is no longer anyone's: our own process id from an earlier process, or the
// id of a process that has ended.
bool isStale(pid_t holder, const std::string& lockPath) {
    if (holder <= 0) {
        return false;  // names nobody: it may be being written right now
    }
    if (holder == ::getpid()) {
        return !heldByThisProcess(lockPath);
    }
    return !processLives(holder);
}

// Waits a little for an flock: whoever holds it does so for a moment only, unless it is a
// program that means to stop us, which must not hang us either.
bool lockWithin(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Removes the stale lock that names `holder`. Programs that found the same stale lock take
// turns through an flock on that file, and each checks under it that the path still names
// that very file with that holder before removing it: one removes it, the others find it
// gone or taken anew and look again. Nothing is renamed, so nothing can stay behind.
// True to look at the lock again; false when it cannot be removed (`problem` says why when
// the reason is ours to tell).
bool removeStaleLock(const std::string& lockPath, pid_t holder, std::string& problem) {
    const UniqueFd fd(::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen()) {
        if (errno == ENOENT) {
            return true;  // someone else cleared it already
        }
        problem = lockPath + ": " + errorText(errno);
        return false;
    }
    if (!lockWithin(fd.get(), kTakeoverWait)) {
        return false;
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd.get(), &opened) != 0 || ::lstat(lockPath.c_str(), &named) != 0 ||
        opened.st_dev != named.st_dev || opened.st_ino != named.st_ino ||
        PortLock::readHolder(lockPath) != holder) {
        return true;  // gone or replaced meanwhile
    }
    if (::unlink(lockPath.c_str()) != 0 && errno != ENOENT) {
        problem = lockPath + ": " + errorText(errno);
        return false;
    }
    return true;
}

// Our process id as a lock holds it, in a file of the lock folder that is either nameless
// (linked in through /proc) or has a temporary name of its own.
class LockContent {
public:
    LockContent() = default;
    ~LockContent() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!temporaryName_.empty()) {
            ::unlink(temporaryName_.c_str());
        }
    }
    LockContent(const LockContent&) = delete;
    LockContent& operator=(const LockContent&) = delete;

    bool create(const std::string& folder, std::string& problem) {
        if (::access("/proc/self/fd", X_OK) == 0) {
            fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
        }
        if (fd_ < 0) {
            std::string temporary = folder + "/LTMP.XXXXXX";
            fd_ = ::mkostemp(temporary.data(), O_CLOEXEC);
            if (fd_ < 0) {
                problem = folder + ": " + errorText(errno);
                return false;
            }
            temporaryName_ = temporary;
        }
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
        if (::fchmod(fd_, 0644) != 0 || ::write(fd_, text, length) != length) {
            problem = folder + ": " + errorText(errno);
            return false;
        }
        return true;
    }

    // False with errno set when it could not be linked (EEXIST: a lock is there).
    bool linkTo(const std::string& lockPath) const {
        if (!temporaryName_.empty()) {
            return ::link(temporaryName_.c_str(), lockPath.c_str()) == 0;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, lockPath.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }

private:
    int fd_ = -1;
    std::string temporaryName_;
};

}  // namespace

PortLock::~PortLock() {
    release();
}

std::string PortLock::defaultFolder() {
    if (const char* chosen = std::getenv("DRAVOLIN_LOCK_DIR"); chosen != nullptr && *chosen) {
        return chosen;
    }
    return isDirectory("/run/lock") ? "/run/lock" : "/var/lock";
}

std::string PortLock::lockFileName(const std::string& devicePath) {
    std::string device = devicePath;
    if (char* real = ::realpath(devicePath.c_str(), nullptr)) {
        device = real;
        std::free(real);
    }
    std::string name;
    if (device.starts_with("/dev/")) {
        name = device.substr(5);
    } else {
        const std::size_t slash = device.rfind('/');
        name = slash == std::string::npos ? device : device.substr(slash + 1);
    }
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return "LCK.." + name;
}

pid_t PortLock::readHolder(const std::string& lockPath) {
    // Never through a link, never blocking on a pipe planted in its place.
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    struct stat info {};
    std::array<char, kLongestLock + 1> bytes{};
    ssize_t count = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        count = ::read(fd, bytes.data(), bytes.size());
    }
    ::close(fd);
    if (count <= 0 || static_cast<std::size_t>(count) > kLongestLock) {
        return 0;
    }
    return parseHolder(std::string_view(bytes.data(), static_cast<std::size_t>(count)));
}

pid_t PortLock::parseHolder(std::string_view content) {
    const bool text = content.find_first_not_of(" \n0123456789") == std::string_view::npos;
    if (content.size() == 4 && !text) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        return binary > 0 ? static_cast<pid_t>(binary) : 0;
    }
    // Blanks, one to ten digits, blanks and line ends.
    std::size_t i = content.find_first_not_of(' ');
    long value = 0;
    std::size_t digits = 0;
    for (; i < content.size() && content[i] >= '0' && content[i] <= '9' && digits < 10;
         ++i, ++digits) {
        value = value * 10 + (content[i] - '0');
    }
    if (digits == 0 || content.find_first_not_of(" \n", i) != std::string_view::npos ||
        value > INT_MAX) {
        return 0;
    }
    return static_cast<pid_t>(value);
}

PortLock::Outcome PortLock::acquire(const std::string& folder, const std::string& devicePath) {
    release();
    holderPid_ = 0;
    problem_.clear();
    const std::string lockPath = folder + "/" + lockFileName(devicePath);

    // Our lock, whole, before it is linked into place: the one step that either takes the
    // lock or finds it taken. It has no name until then where the system allows, so that a
    // program killed at any moment leaves nothing but (at most) its lock behind.
    LockContent content;
    if (!content.create(folder, problem_)) {
        return Outcome::NotPossible;
    }

    Outcome outcome = Outcome::HeldByOther;
    for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
        if (content.linkTo(lockPath)) {
            outcome = Outcome::Taken;
            break;
        }
        if (errno != EEXIST) {
            problem_ = lockPath + ": " + errorText(errno);
            outcome = Outcome::NotPossible;
            break;
        }
        const pid_t holder = readHolder(lockPath);
        holderPid_ = holder;
        if (!isStale(holder, lockPath)) {
            break;
        }
        if (!removeStaleLock(lockPath, holder, problem_)) {
            if (problem_.empty()) {
                holderPid_ = readHolder(lockPath);  // a new lock took its place meanwhile
            }
            break;
        }
        holderPid_ = 0;
    }
    if (outcome == Outcome::Taken) {
        path_ = lockPath;
        noteHeld(lockPath, true);
    }
    return outcome;
}

void PortLock::release() {
    if (path_.empty()) {
        return;
    }
    // Only while it is still ours: never someone else's lock that replaced it.
    if (readHolder(path_) == ::getpid()) {
        ::unlink(path_.c_str());
    }
    noteHeld(path_, false);
    path_.clear();
}

}  // namespace dravolin
