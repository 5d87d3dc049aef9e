#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace dravolin {

// The UUCP lock file that terminal programs take for a serial device while they use it:
// LCK..ttyUSB0 in the lock folder, holding the owner's process id as ten characters and
// a line end. We take it beside the exclusive opening, honour other programs' locks, and
// clear locks whose owner has gone.
//
// The lock folder is writable by everyone, so nothing found there is trusted: a lock is
// made as a temporary file of our own and linked into place (which fails when a lock is
// there), links planted there are never followed, and a lock is removed only while it
// still holds our process id or that of a process that no longer exists.
//
// Windows has no lock files: there the lock is a named mutex per port, which keeps our own
// programs off a port one of them has open (port_lock_win32.cpp).
class PortLock {
public:
    enum class Outcome {
        Taken,        // the lock is ours until release()
        HeldByOther,  // another program holds the device: holderPid() names it
        NotPossible,  // no lock could be made here (folder missing or not writable)
    };

    PortLock() = default;
    ~PortLock();
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // $DRAVOLIN_LOCK_DIR when set, else /run/lock, else /var/lock.
    static std::string defaultFolder();

    // "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3; links in the device
    // path are followed first, so that every name of one device gives one lock.
    static std::string lockFileName(const std::string& devicePath);

    // Takes the lock for a device in `folder`, releasing any lock held before.
    Outcome acquire(const std::string& folder, const std::string& devicePath);
    void release();

    bool held() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // Who holds the device after HeldByOther (0 when the lock names nobody we can read).
    pid_t holderPid() const { return holderPid_; }
    // What went wrong after NotPossible, e.g. "/run/lock: Permission denied".
    const std::string& problem() const { return problem_; }

    // The process id a lock file holds: the ten-character text form, or the four-byte
    // binary form of older programs. 0 when it holds neither, or cannot be read.
    static pid_t readHolder(const std::string& lockPath);
    // The same for the whole content of a lock file.
    static pid_t parseHolder(std::string_view content);

private:
    std::string path_;
    pid_t holderPid_ = 0;
    std::string problem_;
#ifdef _WIN32
    void* mutex_ = nullptr;  // Windows keeps the lock as a named mutex (port_lock_win32.cpp)
#endif
};

}  // namespace dravolin
