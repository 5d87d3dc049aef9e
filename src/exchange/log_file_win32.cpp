#include "exchange/log_file.h"

#include <windows.h>

#include <cstdio>

#include "protocol/wide_text.h"

// The Windows twin: the log is opened for appending with sharing, so that the window and
// the CLI may both write it, and locked with LockFileEx around each line.

namespace dravolin {

namespace {

// Closes a handle when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (isOpen()) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

HANDLE openForAppending(const std::string& path) {
    return CreateFileW(widened(path).c_str(), FILE_APPEND_DATA | GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writes all of `whole` at the end, or nothing: a short write is cut off again.
bool writeWhole(HANDLE file, const std::string& whole, std::string& error) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    LARGE_INTEGER end{};
    SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END);
    DWORD written = 0;
    if (WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr) &&
        written == whole.size()) {
        return true;
    }
    error = written == 0 ? windowsErrorText(GetLastError()) : "the disk is full";
    if (written > 0) {
        SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    return false;
}

bool lockWhole(HANDLE file) {
    OVERLAPPED from{};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from) != FALSE;
}

}  // namespace

bool appendLogLine(const std::string& path, const std::string& whole, std::size_t rotateAt,
                   const std::string& oldPath, std::string& error) {
    FileHandle file(openForAppending(path));
    if (!file.isOpen() || !lockWhole(file.get())) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    if (size.QuadPart > 0 && static_cast<std::size_t>(size.QuadPart) + whole.size() > rotateAt) {
        // An open file can be renamed when every opener shares deletion, as ours do.
        if (!MoveFileExW(widened(path).c_str(), widened(oldPath).c_str(),
                         MOVEFILE_REPLACE_EXISTING)) {
            error = "cannot rotate it: " + windowsErrorText(GetLastError());
            return false;
        }
        FileHandle fresh(openForAppending(path));
        if (!fresh.isOpen() || !lockWhole(fresh.get())) {
            error = windowsErrorText(GetLastError());
            return false;
        }
        return writeWhole(fresh.get(), whole, error);
    }
    return writeWhole(file.get(), whole, error);
}

bool readWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error) {
    missing = false;
    FileHandle file(CreateFileW(widened(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        const DWORD code = GetLastError();
        missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        error = "cannot read " + path + ": " + windowsErrorText(code);
        return false;
    }
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
            error = "cannot read " + path + ": " + windowsErrorText(GetLastError());
            return false;
        }
        if (got == 0) {
            return true;
        }
        text.append(chunk, got);
    }
}

std::FILE* openAppendingStream(const std::string& path, std::string& error) {
    std::FILE* stream = _wfopen(widened(path).c_str(), L"ab");
    if (stream == nullptr) {
        error = windowsErrorText(GetLastError());
    }
    return stream;
}

}  // namespace dravolin
