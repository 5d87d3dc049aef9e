/* Test support, preloaded into the wine processes of the Windows tests only (LD_PRELOAD):
 * lets wine's serial code drive a pseudo-terminal as if it were a serial port, and keeps
 * wine away from the machine's own serial ports.
 *
 * What it fakes, and nothing more:
 *   - TIOCMGET on a pseudo-terminal answers CTS, DSR and CD up (and DTR/RTS as last set).
 *     A pty has no modem lines; wine asks for them while it waits for comm events and ends
 *     every pending WaitCommEvent when the question fails. A pty that has hung up (EIO)
 *     still fails, so that wine ends the wait then, as a removed adapter makes it do.
 *   - TIOCMSET, TIOCMBIS and TIOCMBIC on a pseudo-terminal succeed (DTR and RTS are noted).
 *   - Opening a terminal device adds O_NOCTTY, so that a pty never becomes wine's
 *     controlling terminal (its hang-up would then signal wine instead of showing as EIO).
 *   - Opening the machine's own serial ports and consoles (/dev/ttyS*, /dev/tty0-63,
 *     /dev/console: character devices of majors 4 and 5:1), by any name or link, fails with
 *     ENOENT: wine maps /dev/ttyS0 to a COM port by default, and on this machine it is the
 *     system console, which the tests must never open.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

static int modemLines = TIOCM_DTR | TIOCM_RTS;

static int isPseudoTerminal(int fd) {
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        return 0;
    }
    /* Unix98 pty slaves have majors 136-143; the master multiplexer is 5:2. */
    const unsigned int major_number = major(status.st_rdev);
    return (major_number >= 136 && major_number <= 143) ||
           (major_number == 5 && minor(status.st_rdev) == 2);
}

static int isMachineSerialPort(const char* path) {
    struct stat status;
    if (path == NULL) {
        return 0;
    }
    if (strncmp(path, "/dev/ttyS", 9) == 0) {
        return 1;
    }
    /* Links are followed: wine opens COM ports through dosdevices/comN links. */
    if (stat(path, &status) != 0 || !S_ISCHR(status.st_mode)) {
        return 0;
    }
    const unsigned int major_number = major(status.st_rdev);
    return major_number == 4 || (major_number == 5 && minor(status.st_rdev) == 1);
}

static int isTerminalPath(const char* path) {
    return path != NULL && (strncmp(path, "/dev/pts/", 9) == 0 || strcmp(path, "/dev/ptmx") == 0 ||
                            strncmp(path, "/dev/tty", 8) == 0);
}

static int adjustedFlags(const char* path, int flags) {
    return isTerminalPath(path) ? flags | O_NOCTTY : flags;
}

static mode_t modeArgument(int flags, va_list arguments) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t)
                                                                      : 0;
}

typedef int (*OpenFunction)(const char*, int, ...);
typedef int (*OpenAtFunction)(int, const char*, int, ...);
typedef int (*IoctlFunction)(int, unsigned long, ...);

#define REAL(type, name) ((type)dlsym(RTLD_NEXT, name))

static int openPath(const char* name, const char* path, int flags, mode_t mode) {
    if (isMachineSerialPort(path)) {
        errno = ENOENT;
        return -1;
    }
    return REAL(OpenFunction, name)(path, adjustedFlags(path, flags), mode);
}

static int openAtPath(const char* name, int folder, const char* path, int flags, mode_t mode) {
    if ((path[0] == '/' || folder == AT_FDCWD) && isMachineSerialPort(path)) {
        errno = ENOENT;
        return -1;
    }
    return REAL(OpenAtFunction, name)(folder, path, adjustedFlags(path, flags), mode);
}

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openPath("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openPath("open64", path, flags, mode);
}

/* What fortified callers use when the flags are not known at compile time. */
int __open_2(const char* path, int flags) {
    return openPath("open", path, flags, 0);
}

int __open64_2(const char* path, int flags) {
    return openPath("open64", path, flags, 0);
}

int openat(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openAtPath("openat", folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openAtPath("openat64", folder, path, flags, mode);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const int result = REAL(IoctlFunction, "ioctl")(fd, request, argument);
    if (result == 0 || errno == EIO || argument == NULL || !isPseudoTerminal(fd)) {
        return result;
    }
    int* lines = (int*)argument;
    switch (request) {
        case TIOCMGET:
            *lines = (modemLines & (TIOCM_DTR | TIOCM_RTS)) | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
            return 0;
        case TIOCMSET:
            modemLines = *lines;
            return 0;
        case TIOCMBIS:
            modemLines |= *lines;
            return 0;
        case TIOCMBIC:
            modemLines &= ~*lines;
            return 0;
        default:
            return result;
    }
}
