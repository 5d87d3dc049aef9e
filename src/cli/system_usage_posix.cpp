#include "cli/system_usage.h"

// Linux: devices are files under /dev, the files kept follow the desktop's base
// directories, the locale chooses the language, a shell quotes, signals stop.

namespace dravolin {

std::string defaultDeviceUsage() {
    return "/dev/ttyS(N-1)";
}

std::string defaultLanguageUsage() {
    return "German where LC_ALL, LC_MESSAGES or LANG asks";
}

std::string quotedNameUsage() {
    return "quote it for the shell: get 'A\\x1bB'";
}

std::string keptFilesUsage() {
    return "saved settings: the Com ports' devices and the line settings last confirmed in\n"
           "the window are read from $XDG_CONFIG_HOME/dravolin/dravolin.conf (normally\n"
           "~/.config/dravolin/dravolin.conf); each option given overrides them.\n"
           "lock files: while a port is open, LCK..NAME in /run/lock (else /var/lock) holds\n"
           "our process id; DRAVOLIN_LOCK_DIR names another folder.\n"
           "transfer log: every exchange adds one line to $XDG_STATE_HOME/dravolin/transfers.log\n"
           "(normally ~/.local/state/dravolin/transfers.log): time, program, function,\n"
           "device and line, file on the PC and in the programmer, bytes, outcome, seconds.\n";
}

std::string stoppedUsage() {
    return "130 (SIGINT) or 143 (SIGTERM): cancelled; the files done stay.\n";
}

}  // namespace dravolin
