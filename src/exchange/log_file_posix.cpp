#include "exchange/log_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/unique_fd.h"

namespace dravolin {

namespace {

// Another program may rotate the log between our opening and our lock; a few tries settle
// it, however busy the folder.
constexpr int kOpenTries = 5;

UniqueFd openForAppending(const std::string& path, std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    if (!fd.isOpen()) {
        error = std::strerror(errno);
    }
    return fd;
}

// The log at `path`, open and locked against other writers, still the file the path names.
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

// Writes all of `line` at the end of the log, or nothing: a short write (a full disk) is
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

bool appendLogLine(const std::string& path, const std::string& whole, std::size_t rotateAt,
                   const std::string& oldPath, std::string& error) {
    UniqueFd fd = lockedLog(path, error);
    if (!fd.isOpen()) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (status.st_size > 0 && static_cast<std::size_t>(status.st_size) + whole.size() > rotateAt) {
        // Renamed while we hold its lock: the next writer finds the new file.
        if (::rename(path.c_str(), oldPath.c_str()) != 0) {
            error = std::string("cannot rotate it: ") + std::strerror(errno);
            return false;
        }
        UniqueFd fresh = lockedLog(path, error);
        if (!fresh.isOpen()) {
            return false;
        }
        return writeWhole(fresh.get(), whole, error);
    }
    return writeWhole(fd.get(), whole, error);
}

bool readWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error) {
    missing = false;
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.isOpen()) {
        missing = errno == ENOENT;
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        if (got == 0) {
            return true;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
}

std::FILE* openAppendingStream(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, "a");
    if (stream == nullptr) {
        error = std::strerror(errno);
        ::close(fd);
    }
    return stream;
}

}  // namespace dravolin
