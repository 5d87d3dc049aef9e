#include "protocol/wide_text.h"

#include <windows.h>

namespace dravolin {

namespace {

constexpr int kMostRounds = 3;

// The text in `codePage`; false when it is not valid there.
bool decoded(const std::string& text, UINT codePage, DWORD flags, std::wstring& wide) {
    const int length = MultiByteToWideChar(codePage, flags, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide.assign(static_cast<std::size_t>(length), L'\0');
    return MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                               wide.data(), length) == length;
}

}  // namespace

std::wstring widened(const std::string& utf8) {
    std::wstring wide;
    if (utf8.empty() || decoded(utf8, CP_UTF8, MB_ERR_INVALID_CHARS, wide) ||
        decoded(utf8, CP_ACP, 0, wide)) {
        return wide;
    }
    return std::wstring(utf8.begin(), utf8.end());
}

std::wstring systemPath(const std::filesystem::path& path) {
    // A path made from text that was itself read back from such a path holds the UTF-8 of
    // the UTF-8: each round of reading is undone, as long as what is left is UTF-8 bytes.
    std::wstring wide = path.native();
    for (int round = 0; round < kMostRounds; ++round) {
        std::string bytes;
        bool beyondAscii = false;
        for (wchar_t c : wide) {
            if (c > 0xFF) {
                return wide;  // made from wide text: already what the system wants
            }
            beyondAscii = beyondAscii || c > 0x7F;
            bytes.push_back(static_cast<char>(c));
        }
        std::wstring decodedPath;
        if (!beyondAscii || !decoded(bytes, CP_UTF8, MB_ERR_INVALID_CHARS, decodedPath)) {
            return wide;
        }
        wide = decodedPath;
    }
    return wide;
}

std::string narrowed(const std::wstring& utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), text.data(),
                            length, nullptr, nullptr);
    }
    return text;
}

std::string windowsErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        return "error " + std::to_string(code);
    }
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.')) {
        text.pop_back();
    }
    return narrowed(text);
}

}  // namespace dravolin
