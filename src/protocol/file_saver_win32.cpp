#include "protocol/file_saver.h"

#include <windows.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>

#include "protocol/wide_text.h"

// The Windows twin of file_saver.cpp: the bytes go to a temporary file in the target's
// folder, are flushed, and the file is moved onto the target (ReplaceFileW over an existing
// file, so that its attributes and security stay; MoveFileExW with write-through otherwise).
// A new-only save moves without replacing, which fails when a file appeared meanwhile: the
// CREATE_NEW semantics of the move. Paths are UTF-16 throughout.

namespace dravolin {

namespace {

constexpr int kTemporaryNameAttempts = 100;

FileSaver::Result failure(std::string reason) {
    return FileSaver::Result{false, std::move(reason)};
}

std::string lastErrorText() {
    return windowsErrorText(GetLastError());
}

// Splits a path into its folder (with its separator) and name; "." when it has no folder.
void splitPath(const std::wstring& path, std::wstring& folder, std::wstring& name) {
    const std::size_t separator = path.find_last_of(L"\\/:");
    if (separator == std::wstring::npos) {
        folder = L".\\";
        name = path;
        return;
    }
    folder = path.substr(0, separator + 1);
    name = path.substr(separator + 1);
}

std::wstring temporaryName(int attempt) {
    static std::atomic<unsigned> serial{0};
    constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ serial++ ^
            static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ULL;
    std::wstring name = L".dravolin-";
    for (int i = 0; i < 6; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        name.push_back(kLetters[(seed >> 33) % (sizeof kLetters / sizeof kLetters[0] - 1)]);
    }
    return name;
}

// The temporary file beside the target, removed again unless it was put in place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring folder) : folder_(std::move(folder)) {}
    ~TemporaryFile() {
        closeHandle();
        if (!path_.empty()) {
            DeleteFileW(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool create() {
        for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            const std::wstring path = folder_ + temporaryName(attempt);
            handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) {
                path_ = path;
                return true;
            }
            if (GetLastError() != ERROR_FILE_EXISTS) {
                return false;
            }
        }
        return false;
    }

    bool writeAll(std::span<const std::uint8_t> bytes) {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const auto chunk =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
            DWORD put = 0;
            if (!WriteFile(handle_, bytes.data() + written, chunk, &put, nullptr) || put == 0) {
                return false;
            }
            written += put;
        }
        return true;
    }

    bool flush() { return FlushFileBuffers(handle_) != FALSE; }
    bool close() {
        const bool closed = CloseHandle(handle_) != FALSE;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }
    const std::wstring& path() const { return path_; }
    void keep() { path_.clear(); }

private:
    void closeHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

    std::wstring folder_;
    std::wstring path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// What stops the save; empty when nothing does.
std::string whatForbidsSaving(const std::string& shown, const std::wstring& target, bool exists,
                              DWORD attributes, FileSaver::IfExists ifExists) {
    if (!exists) {
        return {};
    }
    if (ifExists == FileSaver::IfExists::Keep) {
        return shown + " exists already; it was left as it was";
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return shown + " is a folder, not a regular file; it was left as it was";
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0 || target.starts_with(L"\\\\.\\")) {
        return shown + " is a device, not a regular file; it was left as it was";
    }
    // The read-only attribute binds administrators too.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return shown + " is read-only; it was left as it was";
    }
    return {};
}

bool putInPlace(const std::wstring& target, TemporaryFile& temporary, bool exists,
                FileSaver::IfExists ifExists) {
    bool moved = false;
    if (ifExists == FileSaver::IfExists::Keep) {
        moved = MoveFileExW(temporary.path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    } else if (exists) {
        // Keeps the replaced file's attributes, security and creation time.
        moved = ReplaceFileW(target.c_str(), temporary.path().c_str(), nullptr,
                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        if (!moved && GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
            GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            moved = MoveFileExW(temporary.path().c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }
    } else {
        moved = MoveFileExW(temporary.path().c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (moved) {
        temporary.keep();
    }
    return moved;
}

}  // namespace

FileSaver::Result FileSaver::save(const std::filesystem::path& path,
                                  std::span<const std::uint8_t> bytes, IfExists ifExists) {
    const std::wstring target = path.native();
    const std::string shown = narrowed(target);
    std::wstring folder;
    std::wstring name;
    splitPath(target, folder, name);
    if (name.empty() || name == L"." || name == L"..") {
        return failure(shown + " is a folder, not a regular file; it was left as it was");
    }
    WIN32_FILE_ATTRIBUTE_DATA status{};
    bool exists = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &status) != FALSE;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return failure("cannot save " + shown + ": " + lastErrorText());
    }
    if (std::string problem =
            whatForbidsSaving(shown, target, exists, status.dwFileAttributes, ifExists);
        !problem.empty()) {
        return failure(std::move(problem));
    }
    auto failed = [&](const std::string& what) {
        return failure(what + " " + shown + ": " + lastErrorText());
    };
    TemporaryFile temporary(folder);
    if (!temporary.create()) {
        return failed("cannot create a file beside");
    }
    if (!temporary.writeAll(bytes)) {
        return failed("cannot write");
    }
    if (!temporary.flush()) {
        return failed("cannot flush");
    }
    if (!temporary.close()) {
        return failed("cannot close");
    }
    if (!putInPlace(target, temporary, exists, ifExists)) {
        const DWORD code = GetLastError();
        if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
            return failure(shown + " exists already; it was left as it was");
        }
        return failed("cannot replace");
    }
    return {true, {}};
}

std::string FileSaver::kindOfFile(unsigned mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    return "a regular file";
}

}  // namespace dravolin
