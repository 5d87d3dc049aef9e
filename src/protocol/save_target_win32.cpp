#include "protocol/save_target.h"

#include <windows.h>

#include <sys/stat.h>

#include <algorithm>

#include "protocol/wide_text.h"

// The Windows twin: the temporary file is moved onto the target (ReplaceFileW over an
// existing file, so that its attributes and security stay; MoveFileExW with write-through
// otherwise). A new-only save moves without replacing, which fails when a file appeared
// meanwhile. Paths are UTF-16 throughout.

namespace dravolin {

namespace {

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

}  // namespace

struct SaveTarget::State {
    std::wstring target;
    std::wstring folder;
    bool exists = false;
    bool namesAFolder = false;
    DWORD attributes = 0;
    HANDLE temporary = INVALID_HANDLE_VALUE;
    std::wstring temporaryPath;  // empty once put in place
    std::string error;

    bool failed() {
        error = windowsErrorText(GetLastError());
        return false;
    }

    void closeTemporary() {
        if (temporary != INVALID_HANDLE_VALUE) {
            CloseHandle(temporary);
            temporary = INVALID_HANDLE_VALUE;
        }
    }
};

SaveTarget::SaveTarget() : state_(std::make_unique<State>()) {}

SaveTarget::~SaveTarget() {
    state_->closeTemporary();
    if (!state_->temporaryPath.empty()) {
        DeleteFileW(state_->temporaryPath.c_str());
    }
}

bool SaveTarget::locate(const std::filesystem::path& path, FileSaver::IfExists /*ifExists*/) {
    State& target = *state_;
    target.target = path.native();
    std::wstring name;
    splitPath(target.target, target.folder, name);
    if (name.empty() || name == L"." || name == L"..") {
        target.exists = true;
        target.namesAFolder = true;
        return true;
    }
    WIN32_FILE_ATTRIBUTE_DATA status{};
    target.exists =
        GetFileAttributesExW(target.target.c_str(), GetFileExInfoStandard, &status) != FALSE;
    target.attributes = status.dwFileAttributes;
    return target.exists || GetLastError() == ERROR_FILE_NOT_FOUND || target.failed();
}

bool SaveTarget::exists() const {
    return state_->exists;
}

std::string SaveTarget::otherKind() const {
    if (state_->namesAFolder || (state_->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "a folder";
    }
    if ((state_->attributes & FILE_ATTRIBUTE_DEVICE) != 0 ||
        state_->target.starts_with(L"\\\\.\\")) {
        return "a device";
    }
    return {};
}

bool SaveTarget::readOnly() const {
    return (state_->attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

SaveTarget::Creating SaveTarget::createTemporary(const std::string& name) {
    const std::wstring path = state_->folder + widened(name);
    state_->temporary = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (state_->temporary == INVALID_HANDLE_VALUE) {
        const bool taken = GetLastError() == ERROR_FILE_EXISTS;
        state_->failed();
        return taken ? Creating::NameTaken : Creating::Failed;
    }
    state_->temporaryPath = path;
    return Creating::Created;
}

// ReplaceFileW keeps the replaced file's attributes, security and creation time itself.
bool SaveTarget::takeOverFromReplaced() {
    return true;
}

bool SaveTarget::write(std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const auto chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
        DWORD put = 0;
        if (!WriteFile(state_->temporary, bytes.data() + written, chunk, &put, nullptr) ||
            put == 0) {
            return state_->failed();
        }
        written += put;
    }
    return true;
}

bool SaveTarget::flush() {
    return FlushFileBuffers(state_->temporary) != FALSE || state_->failed();
}

bool SaveTarget::closeTemporary() {
    const bool closed = CloseHandle(state_->temporary) != FALSE;
    state_->temporary = INVALID_HANDLE_VALUE;
    return closed || state_->failed();
}

SaveTarget::Placing SaveTarget::putInPlace(FileSaver::IfExists ifExists) {
    State& state = *state_;
    const wchar_t* temporary = state.temporaryPath.c_str();
    const wchar_t* target = state.target.c_str();
    bool moved = false;
    if (ifExists == FileSaver::IfExists::Keep) {
        moved = MoveFileExW(temporary, target, MOVEFILE_WRITE_THROUGH);
    } else if (state.exists) {
        moved = ReplaceFileW(target, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                             nullptr);
        if (!moved && GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
            GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            moved =
                MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }
    } else {
        moved = MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (moved) {
        state.temporaryPath.clear();
        return Placing::Placed;
    }
    const DWORD code = GetLastError();
    state.failed();
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? Placing::Occupied
                                                                     : Placing::Failed;
}

// The moves write through: nothing more to flush.
bool SaveTarget::flushFolder() {
    return true;
}

const std::string& SaveTarget::errorText() const {
    return state_->error;
}

unsigned long long SaveTarget::processNumber() {
    return GetCurrentProcessId();
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
