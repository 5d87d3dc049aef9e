#pragma once

#include <string>

namespace dravolin {

// Windows only: the programs keep text and paths as UTF-8 and hand the system UTF-16.
// Text that is not UTF-8 is read in the ANSI code page.
std::wstring widened(const std::string& utf8);
std::string narrowed(const std::wstring& utf16);

// The system's text for a Win32 error code, without its line end.
std::string windowsErrorText(unsigned long code);

}  // namespace dravolin
