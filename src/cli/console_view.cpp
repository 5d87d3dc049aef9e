#include "cli/console_view.h"

#include <algorithm>

namespace dravolin {

namespace {

// Replies shorter than this come and go too fast for a progress line to help.
constexpr std::size_t kProgressFromBytes = 512;

}  // namespace

ConsoleView::ConsoleView(std::FILE* err, bool showProgress, Language language)
    : err_(err), showProgress_(showProgress), language_(language) {}

std::string ConsoleView::oneLine(TextId id, Language language, const std::string& argument) {
    return asOneLine(fillPlaceholders(MessageCatalog::text(id, language), {argument}));
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
        case TextId::StatusCancelled:
            printStatus(oneLine(id, language_));
            break;
        default:
            // Prompts that ask for a choice in the window; the command line made it already.
            break;
    }
}

void ConsoleView::setStatusTextWith(TextId id, const std::string& argument) {
    printStatus(oneLine(id, language_, argument));
}

void ConsoleView::setStatusFilled(const FilledText& text) {
    // The file of a run in hand, above its progress line; the run's lines go to stdout.
    if (showProgress_) {
        std::string line =
            fillPlaceholders(MessageCatalog::text(text.id, language_), text.arguments);
        printStatus(line.substr(std::min(line.find_first_not_of(' '), line.size())));
    }
}

void ConsoleView::printStatus(const std::string& line) {
    endProgressLine();
    std::fprintf(err_, "%s\n", line.c_str());
    std::fflush(err_);
}

void ConsoleView::showMessageBox(TextId id, MessageIcon icon, Closed closed) {
    if (icon == MessageIcon::Information) {
        printStatus(oneLine(id, language_));
    }
    closed();
}

void ConsoleView::chooseFile(const FileDialogRequest& request, FileAnswer answer) {
    static_cast<void>(request);
    answer(fileAnswer_);
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

void ConsoleView::showProgress(const TransferProgress& progress) {
    if (!showProgress_ || progress.expected < kProgressFromBytes) {
        return;
    }
    // One line, written over each time; blanks wipe what a longer line left behind.
    std::string line = "  " + formatProgress(progress, language_);
    const std::size_t length = line.size();
    if (length < progressLineLength_) {
        line.append(progressLineLength_ - length, ' ');
    }
    progressLineLength_ = length;
    std::fprintf(err_, "\r%s", line.c_str());
    std::fflush(err_);
    progressLineOpen_ = true;
}

void ConsoleView::hideProgress() {
    endProgressLine();
}

void ConsoleView::endProgressLine() {
    if (progressLineOpen_) {
        std::fputc('\n', err_);
        std::fflush(err_);
        progressLineOpen_ = false;
    }
    progressLineLength_ = 0;
}

}  // namespace dravolin
