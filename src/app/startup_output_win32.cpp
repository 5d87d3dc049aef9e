#include "app/startup_output.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "protocol/wide_text.h"

// The Windows twin. A stream that was redirected (to a file or a pipe) has a handle of its
// own and stays as it is; one that leads nowhere gives way to the console of the program
// that started this one, when there is one.

namespace dravolin {

namespace {

bool leadsSomewhere(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The starting console as a stream, opened once for the rest of the program's short run
// (the C library closes it at the end).
std::FILE* openStartingConsole() {
    // Denied: this process has a console already (wine gives one to a window program),
    // only no standard handles for it.
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) {
        return nullptr;
    }
    SetConsoleOutputCP(CP_UTF8);
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(console), _O_TEXT);
    if (descriptor < 0) {
        CloseHandle(console);
        return nullptr;
    }
    std::FILE* stream = _fdopen(descriptor, "w");
    if (stream == nullptr) {
        _close(descriptor);
    }
    return stream;
}

}  // namespace

std::FILE* streamToOperator(std::FILE* stream) {
    if (leadsSomewhere(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE)) {
        return stream;
    }
    static std::FILE* const console = openStartingConsole();
    return console;
}

void showInBox(const std::string& text, bool failure) {
    MessageBoxW(nullptr, widened(text).c_str(), L"Dravolin",
                MB_OK | (failure ? MB_ICONERROR : MB_ICONINFORMATION));
}

}  // namespace dravolin
