#include "exchange/rotating_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "exchange/state_folder.h"
#include "protocol/unique_fd.h"

namespace dravolin {

namespace {

// Another program may rotate the file between our opening and our lock; a few tries settle
// it, however busy the folder.
constexpr int kOpenTries = 5;

UniqueFd openForAppending(const std::string& path, std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    if (!fd.isOpen()) {
        error = std::strerror(errno);
    }
    return fd;
}

// The file at `path`, open and locked against other writers, still the file the path names.
UniqueFd lockedLog(const std::string& path, std::string& error) {
    for (int attempt = 0; attempt < kOpenTries; ++attempt) {
        UniqueFd fd = openForAppending(path, error);
        if (!fd.isOpen()) {
            return fd;
        }
        if (::flock(fd.get(), LOCK_EX) != 0) {
            error = std::strerror(errno);
            return UniqueFd();
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd.get(), &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            return fd;
        }
    }
    error = "another program keeps replacing it";
    return UniqueFd();
}

// Writes all of `line` at the end of the file, or nothing: a short write (a full disk) is
// taken back, so the next line does not start in the middle of this one.
bool writeWhole(int fd, const std::string& line, std::string& error) {
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        error = std::strerror(errno);
        return false;
    }
    ssize_t written = -1;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(line.size())) {
        return true;
    }
    error = written < 0 ? std::strerror(errno) : "the disk is full";
    if (written > 0 && ::ftruncate(fd, before.st_size) != 0) {
        error += " (and the partial line could not be removed)";
    }
    return false;
}

}  // namespace

bool RotatingLog::append(const std::string& text, std::string& error) const {
    const std::size_t slash = path_.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makeFolderPath(path_.substr(0, slash), error)) {
        return false;
    }
    UniqueFd fd = lockedLog(path_, error);
    if (!fd.isOpen()) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISREG(status.st_mode) && status.st_size > 0 &&
        static_cast<std::size_t>(status.st_size) + text.size() > rotateAt_) {
        // Renamed while we hold its lock: the next writer finds the new file.
        if (::rename(path_.c_str(), (path_ + std::string(kOldGeneration)).c_str()) != 0) {
            error = std::string("cannot rotate it: ") + std::strerror(errno);
            return false;
        }
        UniqueFd fresh = lockedLog(path_, error);
        if (!fresh.isOpen()) {
            return false;
        }
        return writeWhole(fresh.get(), text, error);
    }
    return writeWhole(fd.get(), text, error);
}

bool RotatingLog::canAppend(std::string& error) const {
    return openForAppending(path_, error).isOpen();
}

}  // namespace dravolin
