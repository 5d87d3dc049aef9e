#include "protocol/file_saver.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2, RENAME_NOREPLACE
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "protocol/unique_fd.h"

namespace dravolin {

namespace {

// As many links as the kernel itself follows in one lookup.
constexpr int kMostLinksFollowed = 40;
constexpr int kTemporaryNameAttempts = 100;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

std::string systemText(int error) {
    return std::strerror(error);
}

FileSaver::Result failure(std::string reason) {
    return FileSaver::Result{false, std::move(reason)};
}

// Where the bytes go: a name in an open folder, and what is there now.
struct Target {
    UniqueFd folder;
    bool folderFlushable = false;
    std::string name;
    bool exists = false;
    struct stat status {};
};

// Splits "a/b/c" into "a/b" and "c"; a path without '/' lies in ".".
void splitPath(const std::string& path, std::string& folder, std::string& name) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
        return;
    }
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
}

bool namesAFolder(const std::string& name) {
    return name.empty() || name == "." || name == "..";
}

// Opens `path` (relative to `base`) as the target's folder. A folder we may enter and
// write but not read still takes the file; it only cannot be flushed.
bool openFolder(int base, const std::string& path, Target& target) {
    int fd = ::openat(base, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool readable = fd >= 0;
    if (fd < 0 && errno == EACCES) {
        fd = ::openat(base, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
        return false;
    }
    target.folder.reset(fd);
    target.folderFlushable = readable;
    return true;
}

std::optional<std::string> readLink(int folder, const std::string& name) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t length = ::readlinkat(folder, name.c_str(), text.data(), text.size());
        if (length < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(length) < text.size()) {
            text.resize(static_cast<std::size_t>(length));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// Finds the folder and name the save goes to and what is there, following symbolic links
// unless a new file only is wanted. An empty string, or why the path cannot be saved.
std::string locate(const std::string& path, FileSaver::IfExists ifExists, Target& target) {
    std::string folder;
    splitPath(path, folder, target.name);
    if (!openFolder(AT_FDCWD, folder, target)) {
        return "cannot save " + path + ": " + systemText(errno);
    }
    for (int followed = 0;; ++followed) {
        if (namesAFolder(target.name)) {
            return path + " is a folder, not a regular file; it was left as it was";
        }
        if (::fstatat(target.folder.get(), target.name.c_str(), &target.status,
                      AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                target.exists = false;
                return {};
            }
            return "cannot save " + path + ": " + systemText(errno);
        }
        target.exists = true;
        if (!S_ISLNK(target.status.st_mode) || ifExists == FileSaver::IfExists::Keep) {
            return {};
        }
        if (followed == kMostLinksFollowed) {
            return "cannot save " + path + ": " + systemText(ELOOP);
        }
        const std::optional<std::string> link = readLink(target.folder.get(), target.name);
        if (!link) {
            return "cannot save " + path + ": " + systemText(errno);
        }
        if (link->find('/') == std::string::npos) {
            target.name = *link;  // a name in the same folder
            continue;
        }
        splitPath(*link, folder, target.name);
        if (!openFolder(target.folder.get(), folder, target)) {
            return "cannot save " + path + ": " + systemText(errno);
        }
    }
}

// What would stop the save from replacing what is there; empty when nothing does.
std::string whatForbidsReplacing(const std::string& path, const Target& target,
                                 FileSaver::IfExists ifExists) {
    if (!target.exists) {
        return {};
    }
    if (ifExists == FileSaver::IfExists::Keep) {
        return path + " exists already; it was left as it was";
    }
    const mode_t mode = target.status.st_mode;
    if (!S_ISREG(mode)) {
        return path + " is " + FileSaver::kindOfFile(mode) +
               ", not a regular file; it was left as it was";
    }
    // Read-only is the mode's business, as the original's read-only attribute: it binds
    // administrators too, so neither access() nor a trial open may decide it.
    if ((mode & kWriteBits) == 0) {
        return path + " is read-only; it was left as it was";
    }
    return {};
}

// A name no one else picks by chance; the exclusive create settles the rare collision.
std::string temporaryName(int attempt) {
    static std::atomic<unsigned> serial{0};
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= (static_cast<unsigned long long>(::getpid()) << 32) ^ serial++ ^
            static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ULL;
    std::string name = ".dravolin-";
    for (int i = 0; i < 6; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        name.push_back(kLetters[(seed >> 33) % (sizeof kLetters - 1)]);
    }
    return name;
}

// The temporary file in the target's folder: short-named, so that a legal target name
// (up to 255 bytes) never makes it too long; removed again unless it was put in place.
class TemporaryFile {
public:
    explicit TemporaryFile(int folder) : folder_(folder) {}
    ~TemporaryFile() {
        if (!name_.empty()) {
            ::unlinkat(folder_, name_.c_str(), 0);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool create(mode_t mode) {
        for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            const std::string name = temporaryName(attempt);
            const int fd = ::openat(folder_, name.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (fd >= 0) {
                file_.reset(fd);
                name_ = name;
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }

    int fd() const { return file_.get(); }
    const std::string& name() const { return name_; }
    bool close() { return ::close(file_.release()) == 0; }
    void keep() { name_.clear(); }

private:
    int folder_;
    UniqueFd file_;
    std::string name_;
};

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// The replacement keeps the mode of the file it replaces and, where we may give it, its
// owner: an administrator saving over an operator's file leaves it the operator's.
// Where the owner cannot be kept (only an administrator may give a file away), the copy
// is the saver's, and it must not take over set-user or set-group rights that were the
// other owner's.
bool takeOverOwnerAndMode(int fd, const struct stat& replaced) {
    mode_t mode = replaced.st_mode & 07777;
    if (replaced.st_uid != ::geteuid() || replaced.st_gid != ::getegid()) {
        if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        }
    }
    return ::fchmod(fd, mode) == 0;
}

// Puts the temporary file at the target's name: over what is there, or only where
// nothing is (atomically, so a file that appeared meanwhile is not overwritten).
bool putInPlace(const Target& target, TemporaryFile& temporary, FileSaver::IfExists ifExists) {
    const int folder = target.folder.get();
    const bool renamed =
        ifExists == FileSaver::IfExists::Replace
            ? ::renameat(folder, temporary.name().c_str(), folder, target.name.c_str()) == 0
            : ::renameat2(folder, temporary.name().c_str(), folder, target.name.c_str(),
                          RENAME_NOREPLACE) == 0;
    if (renamed) {
        temporary.keep();  // its name is the target's now
        return true;
    }
    if (ifExists == FileSaver::IfExists::Replace) {
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without that kind of rename: a hard link never replaces either; the
    // temporary name goes when the temporary file does.
    return ::linkat(folder, temporary.name().c_str(), folder, target.name.c_str(), 0) == 0;
}

}  // namespace

FileSaver::Result FileSaver::save(const std::filesystem::path& path,
                                  std::span<const std::uint8_t> bytes, IfExists ifExists) {
    const std::string shown = path.string();
    Target target;
    if (std::string problem = locate(shown, ifExists, target); !problem.empty()) {
        return failure(std::move(problem));
    }
    if (std::string problem = whatForbidsReplacing(shown, target, ifExists); !problem.empty()) {
        return failure(std::move(problem));
    }
    auto failed = [&](const std::string& what) {
        return failure(what + " " + shown + ": " + systemText(errno));
    };
    TemporaryFile temporary(target.folder.get());
    // New files get what the umask (or the folder's default ACL) leaves of 0666; the mode
    // of a file being replaced is copied before any byte is written.
    if (!temporary.create(target.exists ? 0600 : 0666)) {
        return failed("cannot create a file beside");
    }
    if (target.exists && !takeOverOwnerAndMode(temporary.fd(), target.status)) {
        return failed("cannot set the permissions of");
    }
    if (!writeAll(temporary.fd(), bytes)) {
        return failed("cannot write");
    }
    if (::fsync(temporary.fd()) != 0) {
        return failed("cannot flush");
    }
    if (!temporary.close()) {
        return failed("cannot close");
    }
    if (!putInPlace(target, temporary, ifExists)) {
        if (errno == EEXIST) {
            return failure(shown + " exists already; it was left as it was");
        }
        return failed("cannot replace");
    }
    // The rename itself reaches the disk only with the folder. Some file systems cannot
    // flush a folder (EINVAL); there is nothing more to do on those.
    if (target.folderFlushable && ::fsync(target.folder.get()) != 0 && errno != EINVAL) {
        return failure("saved " + shown +
                       ", but its folder could not be flushed to disk: " + systemText(errno));
    }
    return {true, {}};
}

std::string FileSaver::kindOfFile(unsigned mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    return "a regular file";
}

}  // namespace dravolin
