// rig-line-watch DEVICE COMMAND [ARGUMENT]...
//
// Runs COMMAND while watching the terminal settings of DEVICE (inside the rig's guest, on
// the guest's own ports) and prints, one line each, the settings before COMMAND, every
// other setting the driver held while it ran, and the settings after it, then whether the
// line was left as found. Exits with COMMAND's status. The kernel has no notice of a change
// of terminal settings, so they are read every two milliseconds; a program holds its settings
// for the whole of an exchange, far longer than that.

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr long kLookEveryNanoseconds = 2'000'000;
constexpr int kExitSetupFailed = 125;

struct Baud {
    speed_t speed;
    long baud;
};

constexpr Baud kBauds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                           {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};

long baudOf(speed_t speed) {
    for (const Baud& entry : kBauds) {
        if (entry.speed == speed) {
            return entry.baud;
        }
    }
    return -1;
}

char parityOf(const termios& modes) {
    if ((modes.c_cflag & PARENB) == 0) {
        return 'N';
    }
    return (modes.c_cflag & PARODD) != 0 ? 'O' : 'E';
}

// CS5 to CS8 are the values 0 to 3 of the CSIZE bits.
int dataBitsOf(const termios& modes) {
    return 5 + static_cast<int>((modes.c_cflag & CSIZE) / CS6);
}

int flag(tcflag_t flags, tcflag_t bit) {
    return (flags & bit) != 0 ? 1 : 0;
}

std::string describe(const termios& modes) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "baud=%ld data=%d parity=%c stop=%d inpck=%d ignpar=%d parmrk=%d istrip=%d "
                  "icanon=%d echo=%d isig=%d opost=%d icrnl=%d ixon=%d crtscts=%d clocal=%d "
                  "cread=%d vmin=%d vtime=%d",
                  baudOf(cfgetospeed(&modes)), dataBitsOf(modes), parityOf(modes),
                  flag(modes.c_cflag, CSTOPB) + 1, flag(modes.c_iflag, INPCK),
                  flag(modes.c_iflag, IGNPAR), flag(modes.c_iflag, PARMRK),
                  flag(modes.c_iflag, ISTRIP), flag(modes.c_lflag, ICANON),
                  flag(modes.c_lflag, ECHO), flag(modes.c_lflag, ISIG), flag(modes.c_oflag, OPOST),
                  flag(modes.c_iflag, ICRNL), flag(modes.c_iflag, IXON),
                  flag(modes.c_cflag, CRTSCTS), flag(modes.c_cflag, CLOCAL),
                  flag(modes.c_cflag, CREAD), modes.c_cc[VMIN], modes.c_cc[VTIME]);
    return text;
}

bool sameModes(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

pid_t start(char** command) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(command[0], command);
        std::fprintf(stderr, "rig-line-watch: cannot run %s: %s\n", command[0],
                     std::strerror(errno));
        ::_exit(127);
    }
    return child;
}

// Reads the settings until the command ends; every setting unlike the one before is kept.
int watchUntilEnded(int line, pid_t child, const termios& before, std::vector<termios>& seen) {
    const timespec pause{0, kLookEveryNanoseconds};
    for (;;) {
        termios now{};
        if (::tcgetattr(line, &now) == 0 && !sameModes(now, before) &&
            (seen.empty() || !sameModes(now, seen.back()))) {
            seen.push_back(now);
        }
        int status = 0;
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (ended < 0 && errno != EINTR) {
            return kExitSetupFailed;
        }
        ::nanosleep(&pause, nullptr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: rig-line-watch DEVICE COMMAND [ARGUMENT]...\n", stderr);
        return 2;
    }
    // Read-only and without waiting for a carrier; opening after the command has taken the
    // line exclusively is not needed: this open comes first.
    const int line = ::open(argv[1], O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios before{};
    if (line < 0 || ::tcgetattr(line, &before) != 0) {
        std::fprintf(stderr, "rig-line-watch: %s: %s\n", argv[1], std::strerror(errno));
        return kExitSetupFailed;
    }
    const pid_t child = start(argv + 2);
    if (child < 0) {
        std::fprintf(stderr, "rig-line-watch: cannot start: %s\n", std::strerror(errno));
        return kExitSetupFailed;
    }
    std::vector<termios> seen;
    const int status = watchUntilEnded(line, child, before, seen);
    termios after{};
    const bool readAfter = ::tcgetattr(line, &after) == 0;
    std::printf("before %s\n", describe(before).c_str());
    for (const termios& modes : seen) {
        std::printf("during %s\n", describe(modes).c_str());
    }
    std::printf("after %s\n", readAfter ? describe(after).c_str() : "unreadable");
    std::printf("left-as-found %s\n", readAfter && sameModes(before, after) ? "yes" : "no");
    ::close(line);
    return status;
}
