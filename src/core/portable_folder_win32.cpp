#include "core/portable_folder.h"

#include <windows.h>

namespace dravolin {

namespace {

// The running program's own path, however long.
std::wstring programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::wstring portableFolder() {
    const std::wstring program = programPath();
    const std::size_t separator = program.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        return {};
    }
    const std::wstring folder = program.substr(0, separator);
    const DWORD attributes = GetFileAttributesW((folder + L"\\portable.ini").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {};
    }
    return folder;
}

}  // namespace dravolin
