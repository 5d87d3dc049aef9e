#include "protocol/save_target.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2, RENAME_NOREPLACE
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "protocol/unique_fd.h"

// The POSIX twin: the target is a name in an open folder, so that a link or a folder
// renamed meanwhile cannot send the bytes elsewhere; the temporary file is renamed onto it
// and the folder flushed after.

namespace dravolin {

namespace {

// As many links as the kernel itself follows in one lookup.
constexpr int kMostLinksFollowed = 40;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

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

}  // namespace

struct SaveTarget::State {
    UniqueFd folder;
    bool folderFlushable = false;
    std::string name;
    bool exists = false;
    bool namesAFolder = false;
    struct stat status {};
    UniqueFd temporary;
    std::string temporaryName;  // empty once put in place
    std::string error;

    bool failed() {
        error = std::strerror(errno);
        return false;
    }

    // Opens `path` (relative to `base`) as the target's folder. A folder we may enter and
    // write but not read still takes the file; it only cannot be flushed.
    bool openFolder(int base, const std::string& path) {
        int fd = ::openat(base, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool readable = fd >= 0;
        if (fd < 0 && errno == EACCES) {
            fd = ::openat(base, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        if (fd < 0) {
            return false;
        }
        folder.reset(fd);
        folderFlushable = readable;
        return true;
    }
};

SaveTarget::SaveTarget() : state_(std::make_unique<State>()) {}

SaveTarget::~SaveTarget() {
    if (!state_->temporaryName.empty()) {
        ::unlinkat(state_->folder.get(), state_->temporaryName.c_str(), 0);
    }
}

bool SaveTarget::locate(const std::filesystem::path& path, FileSaver::IfExists ifExists) {
    State& target = *state_;
    std::string folder;
    splitPath(path.native(), folder, target.name);
    if (!target.openFolder(AT_FDCWD, folder)) {
        return target.failed();
    }
    for (int followed = 0;; ++followed) {
        if (namesAFolder(target.name)) {
            target.exists = true;
            target.namesAFolder = true;
            return true;
        }
        if (::fstatat(target.folder.get(), target.name.c_str(), &target.status,
                      AT_SYMLINK_NOFOLLOW) != 0) {
            target.exists = false;
            return errno == ENOENT || target.failed();
        }
        target.exists = true;
        if (!S_ISLNK(target.status.st_mode) || ifExists == FileSaver::IfExists::Keep) {
            return true;
        }
        if (followed == kMostLinksFollowed) {
            errno = ELOOP;
            return target.failed();
        }
        const std::optional<std::string> link = readLink(target.folder.get(), target.name);
        if (!link) {
            return target.failed();
        }
        if (link->find('/') == std::string::npos) {
            target.name = *link;  // a name in the same folder
            continue;
        }
        splitPath(*link, folder, target.name);
        if (!target.openFolder(target.folder.get(), folder)) {
            return target.failed();
        }
    }
}

bool SaveTarget::exists() const {
    return state_->exists;
}

std::string SaveTarget::otherKind() const {
    if (state_->namesAFolder) {
        return "a folder";
    }
    return S_ISREG(state_->status.st_mode) ? std::string()
                                           : FileSaver::kindOfFile(state_->status.st_mode);
}

bool SaveTarget::readOnly() const {
    return (state_->status.st_mode & kWriteBits) == 0;
}

SaveTarget::Creating SaveTarget::createTemporary(const std::string& name) {
    // New files get what the umask (or the folder's default ACL) leaves of 0666; the mode
    // of a file being replaced is copied before any byte is written.
    const mode_t mode = state_->exists ? 0600 : 0666;
    const int fd = ::openat(state_->folder.get(), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        const bool taken = errno == EEXIST;
        state_->failed();
        return taken ? Creating::NameTaken : Creating::Failed;
    }
    state_->temporary.reset(fd);
    state_->temporaryName = name;
    return Creating::Created;
}

// The replacement keeps the mode of the file it replaces and, where we may give it, its
// owner: an administrator saving over an operator's file leaves it the operator's.
// Where the owner cannot be kept (only an administrator may give a file away), the copy
// is the saver's, and it must not take over set-user or set-group rights that were the
// other owner's.
bool SaveTarget::takeOverFromReplaced() {
    const struct stat& replaced = state_->status;
    const int fd = state_->temporary.get();
    mode_t mode = replaced.st_mode & 07777;
    if (replaced.st_uid != ::geteuid() || replaced.st_gid != ::getegid()) {
        if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        }
    }
    return ::fchmod(fd, mode) == 0 || state_->failed();
}

bool SaveTarget::write(std::span<const std::uint8_t> bytes) {
    return writeAll(state_->temporary.get(), bytes) || state_->failed();
}

bool SaveTarget::flush() {
    return ::fsync(state_->temporary.get()) == 0 || state_->failed();
}

bool SaveTarget::closeTemporary() {
    return ::close(state_->temporary.release()) == 0 || state_->failed();
}

SaveTarget::Placing SaveTarget::putInPlace(FileSaver::IfExists ifExists) {
    State& target = *state_;
    const int folder = target.folder.get();
    const char* temporary = target.temporaryName.c_str();
    bool placed =
        ifExists == FileSaver::IfExists::Replace
            ? ::renameat(folder, temporary, folder, target.name.c_str()) == 0
            : ::renameat2(folder, temporary, folder, target.name.c_str(), RENAME_NOREPLACE) == 0;
    if (placed) {
        target.temporaryName.clear();  // its name is the target's now
        return Placing::Placed;
    }
    if (ifExists == FileSaver::IfExists::Keep && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without that kind of rename: a hard link never replaces either; the
        // temporary name goes when the temporary file does.
        placed = ::linkat(folder, temporary, folder, target.name.c_str(), 0) == 0;
    }
    if (placed) {
        return Placing::Placed;
    }
    const bool occupied = errno == EEXIST;
    target.failed();
    return occupied ? Placing::Occupied : Placing::Failed;
}

// The rename itself reaches the disk only with the folder. Some file systems cannot flush a
// folder (EINVAL); there is nothing more to do on those.
bool SaveTarget::flushFolder() {
    return !state_->folderFlushable || ::fsync(state_->folder.get()) == 0 || errno == EINVAL ||
           state_->failed();
}

const std::string& SaveTarget::errorText() const {
    return state_->error;
}

unsigned long long SaveTarget::processNumber() {
    return static_cast<unsigned long long>(::getpid());
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
