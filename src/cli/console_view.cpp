#include "cli/console_view.h"

#include <algorithm>

namespace dravolin {

namespace {

// Replies shorter than this come and go too fast for a progress line to help.
constexpr std::size_t kProgressFromBytes = 512;

}  // namespace

ConsoleView::ConsoleView(std::FILE* err, bool showProgress, Language language)
    : err_(err), showProgress_(showProgress), language_(language) {}

std::string ConsoleView::oneLine(TextId id, Language language) {
    std::string text(MessageCatalog::text(id, language));
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\t', ' ');
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

void ConsoleView::setStatusText(TextId id) {
    switch (id) {
        case TextId::StatusSuccess:
            if (!successLineShown_) {
                break;
            }
            [[fallthrough]];
        case TextId::StatusPleaseWait:
        case TextId::StatusFailure:
            endProgressLine();
            std::fprintf(err_, "%s\n", oneLine(id, language_).c_str());
            std::fflush(err_);
            break;
        default:
            // Prompts that ask for a choice in the window; the command line made it already.
            break;
    }
}

void ConsoleView::showMessageBox(TextId id, MessageIcon icon) {
    if (icon == MessageIcon::Information) {
        endProgressLine();
        std::fprintf(err_, "%s\n", oneLine(id, language_).c_str());
        std::fflush(err_);
    }
}

std::optional<std::string> ConsoleView::chooseFile(const FileDialogRequest& request) {
    static_cast<void>(request);
    return fileAnswer_;
}

void ConsoleView::clearFileList(TextId fieldText) {
    static_cast<void>(fieldText);
    listedNames_.clear();
}

void ConsoleView::appendFileListEntry(const std::string& name) {
    listedNames_.push_back(name);
}

void ConsoleView::showFileList(int mode) {
    static_cast<void>(mode);
}

void ConsoleView::setStartItem(bool enabled) {
    static_cast<void>(enabled);
}

void ConsoleView::reportProgress(std::size_t received, std::size_t expected) {
    if (!showProgress_ || expected < kProgressFromBytes) {
        return;
    }
    const int percent = static_cast<int>(std::min(received, expected) * 100 / expected);
    if (percent == lastPercent_) {
        return;
    }
    lastPercent_ = percent;
    std::fprintf(err_, "\r  received %zu of %zu bytes (%d%%)", std::min(received, expected),
                 expected, percent);
    std::fflush(err_);
    progressLineOpen_ = true;
    if (received >= expected) {
        endProgressLine();
    }
}

void ConsoleView::endProgressLine() {
    if (progressLineOpen_) {
        std::fputc('\n', err_);
        progressLineOpen_ = false;
    }
    lastPercent_ = -1;
}

}  // namespace dravolin
