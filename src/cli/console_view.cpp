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

void ConsoleView::showState(const ExchangeState& state) {
    if (state.status == status_) {
        return;
    }
    status_ = state.status;
    if (worthALine(state)) {
        printStatus(asOneLine(
            fillPlaceholders(MessageCatalog::text(status_.id, language_), status_.arguments)));
    }
}

bool ConsoleView::worthALine(const ExchangeState& state) const {
    switch (status_.id) {
        case TextId::StatusSuccess:
            // A listing's names go to stdout and say it all; an empty one is said here.
            return state.names.empty();
        case TextId::StatusPleaseWait:
        case TextId::StatusFailure:
        case TextId::StatusCancelled:
        case TextId::StatusSaved:
        case TextId::StatusStored:
        case TextId::StatusFailureLetter:
            return true;
        case TextId::StatusRunFile:
        case TextId::RunSummary:
            // The file of a run in hand, above its progress line; the run's lines go to stdout.
            return showProgress_;
        default:
            // Prompts that ask for a choice in the window; the command line made it already.
            return false;
    }
}

void ConsoleView::printStatus(const std::string& line) {
    endProgressLine();
    std::fprintf(err_, "%s\n", line.c_str());
    std::fflush(err_);
}

void ConsoleView::showBox(const ExchangeBox& box, Closed closed) {
    if (box.kind == ExchangeBox::Kind::Message && box.icon == MessageIcon::Information) {
        printStatus(oneLine(box.text.id, language_));
    }
    closed();
}

void ConsoleView::showProgress(const std::optional<TransferProgress>& progress) {
    if (!progress) {
        endProgressLine();
        return;
    }
    if (!showProgress_ || progress->expected < kProgressFromBytes) {
        return;
    }
    // One line, written over each time; blanks wipe what a longer line left behind.
    std::string line = "  " + formatProgress(*progress, language_);
    const std::size_t length = line.size();
    if (length < progressLineLength_) {
        line.append(progressLineLength_ - length, ' ');
    }
    progressLineLength_ = length;
    std::fprintf(err_, "\r%s", line.c_str());
    std::fflush(err_);
    progressLineOpen_ = true;
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
