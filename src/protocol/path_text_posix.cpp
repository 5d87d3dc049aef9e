#include "protocol/path_text.h"

#include "protocol/escaped_name.h"

// A Linux path is bytes; the programs' text is those bytes.

namespace dravolin {

std::filesystem::path pathFromText(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

std::string textOfPath(const std::filesystem::path& path) {
    return path.native();
}

std::string shownPath(std::string_view path) {
    return shownText(path);
}

std::string shownTextNamingPaths(std::string_view text) {
    return shownText(text);
}

}  // namespace dravolin
