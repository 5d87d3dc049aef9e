#include "exchange/batch_transfer.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "exchange/exchange.h"
#include "protocol/device_name.h"
#include "protocol/escaped_name.h"
#include "protocol/replies.h"
#include "protocol/safe_file_name.h"

namespace dravolin {

namespace {

constexpr char kNotResponding = 'N';

// Sets a run's manner of reporting on the exchange for as long as the run lasts.
class CollectedOutcomes {
public:
    explicit CollectedOutcomes(Exchange& exchange) : exchange_(exchange) {
        exchange_.setOutcomesCollected(true);
    }
    ~CollectedOutcomes() {
        exchange_.setOutcomesCollected(false);
        exchange_.setKeepExistingFiles(false);
    }
    CollectedOutcomes(const CollectedOutcomes&) = delete;
    CollectedOutcomes& operator=(const CollectedOutcomes&) = delete;

private:
    Exchange& exchange_;
};

std::string shownLetter(char letter) {
    const auto byte = static_cast<unsigned char>(letter);
    if (byte >= 0x20 && byte < 0x7f) {
        return std::string(1, letter);
    }
    return escapedName(std::string(1, letter));
}

// Whether anything at all is at `path`: a file, a folder, a link to nowhere. A path that
// cannot even be looked at counts, so that it is never replaced unasked.
bool somethingAt(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() !=
           std::filesystem::file_type::not_found;
}

std::string fileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

}  // namespace

BatchTransfer::BatchTransfer(Exchange& exchange, ExchangeView& view)
    : exchange_(exchange), view_(view) {}

// ---- The window's runs

void BatchTransfer::backUpAll() {
    if (exchange_.busy()) {
        return;
    }
    const std::optional<std::string> folder = view_.chooseFolder(TextId::BackupFolderTitle);
    if (!folder) {
        return;
    }
    const std::vector<BatchItem> items = backUp(*folder, IfExists::Ask);
    if (exchange_.abandoned()) {
        return;  // the program ends: nothing more to show
    }
    if (listingFailed_) {
        showListingFailure();
    } else if (cancelled_ && items.empty()) {
        view_.setStatusText(TextId::StatusCancelled);
    } else if (!items.empty()) {
        showSummary(items);
    }
}

void BatchTransfer::sendChosenFiles() {
    if (exchange_.busy()) {
        return;
    }
    view_.setStatusText(TextId::StatusChooseFileToSend);
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.title = TextId::OpenDialogTitle;
    const std::vector<std::string> paths = view_.chooseFiles(request);
    if (paths.empty()) {
        returnToIdle();
        return;
    }
    if (paths.size() == 1) {
        view_.setStatusText(TextId::StatusPleaseWait);
        exchange_.sendFileAt(paths.front());
        return;
    }
    const std::vector<BatchItem> items = sendFiles(paths);
    if (!exchange_.abandoned()) {
        showSummary(items);
    }
}

// ---- Runs

std::vector<BatchItem> BatchTransfer::backUp(const std::filesystem::path& folder,
                                             IfExists ifExists) {
    listingFailed_ = false;
    cancelled_ = false;
    sending_ = false;
    const CollectedOutcomes collected(exchange_);
    view_.setStatusText(TextId::StatusPleaseWait);
    exchange_.listFiles();
    if (exchange_.cancelled() || exchange_.lastOutcome() != kStatusAccepted) {
        listingFailed_ = true;
        return {};
    }
    std::vector<BatchItem> items = plannedBackup(folder);
    if (!settleExistingFiles(items, folder, ifExists)) {
        cancelled_ = true;
        return {};
    }
    bool stopped = false;
    for (std::size_t index = 0; index < items.size(); ++index) {
        BatchItem& item = items[index];
        if (item.result != BatchItem::Result::NotTransferred || stopped) {
            continue;
        }
        showFileStatus(index + 1, items.size(), shownName(item));
        exchange_.fetchListedFileTo(static_cast<int>(index), item.path);
        stopped = !noteOutcome(items, index, BatchItem::Result::Saved);
    }
    return items;
}

std::vector<BatchItem> BatchTransfer::sendFiles(const std::vector<std::string>& paths) {
    listingFailed_ = false;
    cancelled_ = false;
    sending_ = true;
    const CollectedOutcomes collected(exchange_);
    std::vector<BatchItem> items;
    for (const std::string& path : paths) {
        BatchItem item;
        item.name = path;
        item.path = path;
        items.push_back(std::move(item));
    }
    for (std::size_t index = 0; index < items.size(); ++index) {
        showFileStatus(index + 1, items.size(), fileNameOf(items[index].path));
        exchange_.sendFileAt(items[index].path);
        items[index].storedAs = deviceNameFromPath(items[index].path);
        if (!noteOutcome(items, index, BatchItem::Result::Stored)) {
            break;
        }
    }
    return items;
}

std::vector<BatchItem> BatchTransfer::plannedBackup(const std::filesystem::path& folder) const {
    std::vector<BatchItem> items;
    std::set<std::string> targets;
    for (const std::string& name : exchange_.listedNames()) {
        BatchItem item;
        item.name = name;
        std::string refusal;
        const std::optional<std::string> fileName = fileNameForDeviceName(name, refusal);
        if (!fileName) {
            item.result = BatchItem::Result::Skipped;
            item.detail = refusal;
        } else if (!targets.insert(*fileName).second) {
            // Two names of the programmer that become one file name ("A" and "A "): the
            // second would replace the first one saved a moment ago.
            item.result = BatchItem::Result::Skipped;
            item.detail = "the same file name as an earlier file: " + *fileName + ".tiv";
        } else {
            item.path = (folder / (*fileName + ".tiv")).string();
        }
        items.push_back(std::move(item));
    }
    return items;
}

bool BatchTransfer::settleExistingFiles(std::vector<BatchItem>& items,
                                        const std::filesystem::path& folder, IfExists ifExists) {
    std::vector<BatchItem*> existing;
    for (BatchItem& item : items) {
        if (item.result == BatchItem::Result::NotTransferred && somethingAt(item.path)) {
            existing.push_back(&item);
        }
    }
    // A file that appears while the run goes on is kept unless the operator agreed to
    // replace the existing ones.
    exchange_.setKeepExistingFiles(ifExists != IfExists::Replace);
    if (existing.empty()) {
        return true;
    }
    if (ifExists == IfExists::Ask) {
        const ExistingFilesAnswer answer = view_.askAboutExistingFiles(FilledText{
            TextId::ExistingFilesQuestion,
            {std::to_string(existing.size()), std::to_string(items.size()), folder.string()}});
        if (answer == ExistingFilesAnswer::Cancel) {
            return false;
        }
        ifExists = answer == ExistingFilesAnswer::ReplaceAll ? IfExists::Replace : IfExists::Keep;
    }
    if (ifExists == IfExists::Keep) {
        for (BatchItem* item : existing) {
            item->result = BatchItem::Result::Kept;
        }
    }
    exchange_.setKeepExistingFiles(ifExists != IfExists::Replace);
    return true;
}

bool BatchTransfer::noteOutcome(std::vector<BatchItem>& items, std::size_t index,
                                BatchItem::Result success) {
    BatchItem& item = items[index];
    bool goOn = true;
    if (exchange_.cancelled()) {
        item.result = BatchItem::Result::Cancelled;
        cancelled_ = true;
        goOn = false;
    } else if (exchange_.lastOutcome() == kStatusAccepted) {
        item.result = success;
    } else {
        item.result = BatchItem::Result::Failed;
        item.letter = exchange_.lastOutcome();
        item.detail =
            !exchange_.causeLine().empty() ? exchange_.causeLine() : exchange_.failureDetail();
        goOn = item.letter != kNotResponding;
    }
    return goOn;
}

// ---- What the operator sees

FilledText BatchTransfer::describe(const BatchItem& item, const std::string& shownName,
                                   Language language) {
    const MessageCatalog catalog(language);
    switch (item.result) {
        case BatchItem::Result::Saved:
            return {TextId::RunSavedLine, {shownName, item.path}};
        case BatchItem::Result::Stored:
            return {TextId::RunStoredLine, {shownName, item.storedAs}};
        case BatchItem::Result::Failed: {
            const std::optional<TextId> box = outcomeBoxText(item.letter);
            std::string text = asOneLine(catalog.lookup(box ? *box : TextId::StatusFailure));
            if (!item.detail.empty()) {
                text += " (" + item.detail + ")";
            }
            return {TextId::RunFailedLine, {shownName, shownLetter(item.letter), text}};
        }
        case BatchItem::Result::Kept:
            return {TextId::RunKeptLine, {shownName, item.path}};
        case BatchItem::Result::Skipped:
            return {TextId::RunSkippedLine, {shownName, item.detail}};
        case BatchItem::Result::Cancelled:
            return {TextId::RunCancelledLine, {shownName}};
        case BatchItem::Result::NotTransferred:
            break;
    }
    return {TextId::RunNotTransferredLine, {shownName}};
}

std::string BatchTransfer::shownName(const BatchItem& item) const {
    // The programmer's names as dravolin-cli's list prints them: nothing in them can drive
    // a terminal or split a line.
    return sending_ ? shownText(item.path) : escapedName(trimmedDeviceName(item.name));
}

int BatchTransfer::transferredCount(const std::vector<BatchItem>& items) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const BatchItem& item) {
        return item.result == BatchItem::Result::Saved || item.result == BatchItem::Result::Stored;
    }));
}

void BatchTransfer::showFileStatus(std::size_t number, std::size_t count, const std::string& name) {
    view_.setStatusFilled(
        FilledText{TextId::StatusRunFile, {std::to_string(number), std::to_string(count), name}});
}

void BatchTransfer::showSummary(const std::vector<BatchItem>& items) {
    const Language language = exchange_.language();
    std::vector<FilledText> lines;
    for (const BatchItem& item : items) {
        lines.push_back(describe(item, shownName(item), language));
    }
    const int transferred = transferredCount(items);
    const FilledText heading{TextId::RunSummary,
                             {std::to_string(transferred), std::to_string(items.size())}};
    // Files kept at the operator's word are no failure.
    const bool anyFailure = std::any_of(items.begin(), items.end(), [](const BatchItem& item) {
        return item.result != BatchItem::Result::Saved &&
               item.result != BatchItem::Result::Stored && item.result != BatchItem::Result::Kept;
    });
    // The outcome stays in the status line until the operator does something else.
    view_.setStatusFilled(heading);
    view_.showRunSummary(heading, lines,
                         anyFailure ? MessageIcon::Exclamation : MessageIcon::Information);
}

void BatchTransfer::showListingFailure() {
    if (exchange_.cancelled()) {
        view_.setStatusText(TextId::StatusCancelled);
        return;
    }
    const char code = exchange_.lastOutcome();
    if (const std::optional<TextId> box = outcomeBoxText(code)) {
        view_.showOutcomeBox(*box, exchange_.causeLine());
        view_.setStatusText(TextId::StatusFailure);
    } else {
        view_.setStatusTextWith(TextId::StatusFailureLetter, shownLetter(code));
    }
}

void BatchTransfer::returnToIdle() {
    // As after a cancelled file dialog of a single send.
    view_.showFileList(0);
    view_.setStartItem(false);
    view_.resetFunctionChoice();
    view_.setStatusText(TextId::StatusIdle);
}

}  // namespace dravolin
