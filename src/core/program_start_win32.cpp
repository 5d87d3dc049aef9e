#include "core/program_start.h"

#include <windows.h>

#include <shellapi.h>

#include "protocol/wide_text.h"

// The Windows twin: argv of a MinGW program is in the ANSI code page, which cannot hold
// every file name; the wide command line can.

namespace dravolin {

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + 1, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(narrowed(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void prepareStandardStreams() {
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace dravolin
