#include "exchange/rotating_log.h"

#include <windows.h>

#include "exchange/state_folder.h"
#include "protocol/wide_text.h"

// The Windows twin of rotating_log.cpp: the file is opened for appending with sharing, so
// that the window and the CLI may both write it (and it may be renamed while open), and
// locked with LockFileEx around each record.

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

bool appendLocked(const std::string& path, const std::string& whole, std::size_t rotateAt,
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

}  // namespace

bool RotatingLog::append(const std::string& text, std::string& error) const {
    const std::size_t separator = path_.find_last_of("/\\");
    if (separator != std::string::npos && separator > 0 &&
        !makeFolderPath(path_.substr(0, separator), error)) {
        return false;
    }
    return appendLocked(path_, text, rotateAt_, path_ + std::string(kOldGeneration), error);
}

bool RotatingLog::canAppend(std::string& error) const {
    FileHandle file(openForAppending(path_));
    if (!file.isOpen()) {
        error = windowsErrorText(GetLastError());
        return false;
    }
    return true;
}

}  // namespace dravolin
