#include "cli/console_warnings.h"

namespace dravolin {

void ConsoleWarnings::presentWarning(std::uint64_t id, const std::string& caption,
                                     const std::string& text, std::function<void()> answered) {
    static_cast<void>(id);
    std::fprintf(out_, "dravolin-cli: %s: %s", caption.c_str(), text.c_str());
    if (text.empty() || text.back() != '\n') {
        std::fputc('\n', out_);
    }
    std::fflush(out_);
    answered();
}

void ConsoleWarnings::withdrawWarning(std::uint64_t id) {
    // Nothing stays on a terminal to be taken down.
    static_cast<void>(id);
}

}  // namespace dravolin
