#include "protocol/path_text.h"

#include <algorithm>

#include "protocol/escaped_name.h"
#include "protocol/wide_text.h"

// The Windows twin: a path is UTF-16 for the system, and either slash separates folders.

namespace dravolin {

std::filesystem::path pathFromText(std::string_view text) {
    return std::filesystem::path(widened(std::string(text)));
}

std::string textOfPath(const std::filesystem::path& path) {
    return narrowed(path.native());
}

std::string shownPath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '/', '\\');
    return shownWindowsText(native);
}

std::string shownTextNamingPaths(std::string_view text) {
    return shownWindowsText(text);
}

}  // namespace dravolin
