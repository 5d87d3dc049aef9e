#include "exchange/state_folder.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "core/portable_folder.h"
#include "protocol/wide_text.h"

// The Windows twin: the transfer log and the trace live in %LOCALAPPDATA%\dravolin, the
// place for what belongs to this machine's user and does not roam; a portable copy keeps
// them beside its programs.

namespace dravolin {

std::string stateFolder() {
    const std::wstring portable = portableFolder();
    if (!portable.empty()) {
        return narrowed(portable);
    }
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2) {
        return narrowed(buffer) + "\\dravolin";
    }
    // A service without a profile: beside the temporary files.
    const DWORD temporary = GetTempPathW(MAX_PATH * 2, buffer);
    return narrowed(std::wstring(buffer, temporary)) + "dravolin";
}

bool makeFolderPath(const std::string& folder, std::string& error) {
    std::error_code failure;
    const std::filesystem::path path(widened(folder));
    std::filesystem::create_directories(path, failure);
    if (!std::filesystem::is_directory(path)) {
        error = folder + " is not a folder" + (failure ? ": " + failure.message() : std::string());
        return false;
    }
    return true;
}

}  // namespace dravolin
