#include "protocol/wide_text.h"

#include <windows.h>

namespace dravolin {

namespace {

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
