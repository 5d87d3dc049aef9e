#include "cli/system_usage.h"

// Windows: a Com port stands for a COM port, the settings roam with the user in
// %APPDATA%, the log stays on the machine in %LOCALAPPDATA%, the language is the one
// Windows shows, cmd quotes with double quotes, and the console's keys and closing stop.

namespace dravolin {

std::string defaultDeviceUsage() {
    return "COMN";
}

std::string defaultLanguageUsage() {
    return "German where Windows is shown in German";
}

std::string quotedNameUsage() {
    return "quote it as cmd does: get \"A\\x1bB\"";
}

std::string keptFilesUsage() {
    return "saved settings: the Com ports' COM ports and the line settings last confirmed in\n"
           "the window are read from %APPDATA%\\dravolin\\dravolin.ini; each option given\n"
           "overrides them.\n"
           "transfer log: every exchange adds one line to\n"
           "%LOCALAPPDATA%\\dravolin\\transfers.log: time, program, function, device and\n"
           "line, file on the PC and in the programmer, bytes, outcome, seconds.\n";
}

std::string stoppedUsage() {
    return "130 (Ctrl+C or Ctrl+Break) or 143 (the console closed): cancelled; the files\n"
           "done stay.\n";
}

}  // namespace dravolin
