#pragma once

#include <filesystem>
#include <string>

namespace dravolin {

// Windows only: the programs keep text and paths as UTF-8 and hand the system UTF-16.
// Text that is not UTF-8 (a path Qt gave in the ANSI code page) is read in that code page.
std::wstring widened(const std::string& utf8);
std::string narrowed(const std::wstring& utf16);

// The UTF-16 path the system should see. A std::filesystem::path made from a narrow
// string holds its bytes one to a character (the C library's "C" locale); when those bytes
// are UTF-8 they are read as UTF-8 here, so that "Übergabe" stays "Übergabe".
std::wstring systemPath(const std::filesystem::path& path);

// The system's text for a Win32 error code, without its line end.
std::string windowsErrorText(unsigned long code);

}  // namespace dravolin
