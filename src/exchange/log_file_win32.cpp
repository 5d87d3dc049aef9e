#include "exchange/log_file.h"

#include <windows.h>

#include "protocol/wide_text.h"

// The Windows twin: the file is read through a handle that lets writers and renamers in.

namespace dravolin {

bool readWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error) {
    missing = false;
    const HANDLE handle = CreateFileW(widened(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        error = "cannot read " + path + ": " + windowsErrorText(code);
        return false;
    }
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle, chunk, sizeof chunk, &got, nullptr)) {
            const DWORD code = GetLastError();
            CloseHandle(handle);
            error = "cannot read " + path + ": " + windowsErrorText(code);
            return false;
        }
        if (got == 0) {
            CloseHandle(handle);
            return true;
        }
        text.append(chunk, got);
    }
}

}  // namespace dravolin
