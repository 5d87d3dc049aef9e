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

}  // namespace dravolin
