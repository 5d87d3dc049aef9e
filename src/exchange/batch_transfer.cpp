#include "exchange/batch_transfer.h"

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

#include "exchange/exchange.h"
#include "protocol/escaped_name.h"
#include "protocol/path_text.h"
#include "protocol/replies.h"
#include "protocol/safe_file_name.h"

namespace dravolin {

namespace {

constexpr char kNotResponding = 'N';

// Whether anything at all is at `path`: a file, a folder, a link to nowhere. A path that
// cannot even be looked at counts, so that it is never replaced unasked.
bool somethingAt(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(pathFromText(path), error).type() !=
           std::filesystem::file_type::not_found;
}

std::string fileNameOf(const std::string& path) {
    return textOfPath(pathFromText(path).filename());
}

}  // namespace

BatchTransfer::BatchTransfer(Exchange& exchange, ExchangeView& view)
    : exchange_(exchange), view_(view) {}

// ---- The window's runs

void BatchTransfer::backUpAll() {
    if (exchange_.busy()) {
        return;
    }
    // As an exchange does when it starts: nothing else can be started or chosen while the
    // dialog that begins the run is up.
    exchange_.holdWindow();
    view_.chooseFolder(TextId::BackupFolderTitle, [this](std::optional<std::string> folder) {
        if (!folder) {
            exchange_.releaseWindow(false);
        } else if (!exchange_.busy()) {
            backUp(*folder, IfExists::Ask,
                   [this](const std::vector<BatchItem>& items) { showResults(items); });
        }
    });
}

void BatchTransfer::sendChosenFiles() {
    if (exchange_.busy()) {
        return;
    }
    exchange_.holdWindow();
    showStatus(TextId::StatusChooseFileToSend);
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::OpenSeveral;
    view_.chooseFile(request, [this](std::vector<std::string> paths) {
        if (exchange_.busy()) {
            return;
        }
        if (paths.empty()) {
            // As after a cancelled file dialog of a single send.
            exchange_.releaseWindow(true);
        } else if (paths.size() == 1) {
            showStatus(TextId::StatusPleaseWait);
            ExchangeRequest request;
            request.kind = ExchangeRequest::Kind::Send;
            request.path = paths.front();
            exchange_.start(std::move(request));
        } else {
            sendFiles(paths, [this](const std::vector<BatchItem>& items) {
                if (!exchange_.abandoned()) {
                    showSummary(items);
                }
            });
        }
    });
}

void BatchTransfer::showResults(const std::vector<BatchItem>& items) {
    if (exchange_.abandoned()) {
        return;  // the program ends: nothing more to show
    }
    if (listingFailed_) {
        showListingFailure();
    } else if (cancelled_ && items.empty()) {
        showStatus(TextId::StatusCancelled);
    } else if (!items.empty()) {
        showSummary(items);
    }
}

// ---- Runs

void BatchTransfer::begin(bool sending, Finished finished) {
    listingFailed_ = false;
    cancelled_ = false;
    sending_ = sending;
    items_.clear();
    current_ = 0;
    finished_ = std::move(finished);
    keepExisting_ = false;
}

void BatchTransfer::end() {
    if (finished_) {
        std::exchange(finished_, {})(items_);
    }
}

void BatchTransfer::backUp(const std::string& folder, IfExists ifExists, Finished finished) {
    begin(false, std::move(finished));
    showStatus(TextId::StatusPleaseWait);
    exchange_.start(requestOf(ExchangeRequest::Kind::List),
                    [this, folder, ifExists] { afterListing(folder, ifExists); });
}

void BatchTransfer::afterListing(const std::string& folder, IfExists ifExists) {
    const ExchangeOutcome& listing = exchange_.outcome();
    if (listing.cancelled() || listing.letter() != kStatusAccepted) {
        listingFailed_ = true;
        end();
        return;
    }
    listing_ = listing.names;
    items_ = plannedBackup(folder);
    settleExistingFiles(folder, ifExists);
}

void BatchTransfer::sendFiles(const std::vector<std::string>& paths, Finished finished) {
    begin(true, std::move(finished));
    for (const std::string& path : paths) {
        BatchItem item;
        item.name = path;
        item.path = path;
        items_.push_back(std::move(item));
    }
    transferNext();
}

void BatchTransfer::transferNext() {
    while (current_ < items_.size() &&
           items_[current_].result != BatchItem::Result::NotTransferred) {
        ++current_;
    }
    if (current_ >= items_.size()) {
        end();
        return;
    }
    BatchItem& item = items_[current_];
    ExchangeRequest request =
        requestOf(sending_ ? ExchangeRequest::Kind::Send : ExchangeRequest::Kind::Fetch);
    request.path = item.path;
    if (sending_) {
        showFileStatus(current_ + 1, items_.size(), shownPath(fileNameOf(item.path)));
    } else {
        showFileStatus(current_ + 1, items_.size(), shownName(item));
        request.name = listing_[current_];
    }
    exchange_.start(std::move(request), [this] {
        if (noteOutcome(sending_ ? BatchItem::Result::Stored : BatchItem::Result::Saved)) {
            transferNext();
        } else {
            end();
        }
    });
}

ExchangeRequest BatchTransfer::requestOf(ExchangeRequest::Kind kind) const {
    ExchangeRequest request;
    request.kind = kind;
    request.collected = true;
    request.keepExisting = keepExisting_;
    return request;
}

std::vector<BatchItem> BatchTransfer::plannedBackup(const std::string& folder) const {
    std::vector<BatchItem> items;
    std::set<std::string> targets;
    for (const DeviceNameField& field : listing_) {
        BatchItem item;
        item.name = nameOf(field);
        std::string refusal;
        const std::optional<std::string> fileName = fileNameForDeviceName(item.name, refusal);
        if (!fileName) {
            item.result = BatchItem::Result::Skipped;
            item.detail = refusal;
        } else if (!targets.insert(*fileName).second) {
            // Two names of the programmer that become one file name ("A" and "A "): the
            // second would replace the first one saved a moment ago.
            item.result = BatchItem::Result::Skipped;
            item.detail = "the same file name as an earlier file: " + *fileName + ".tiv";
        } else {
            item.path = textOfPath(pathFromText(folder) / pathFromText(*fileName + ".tiv"));
        }
        items.push_back(std::move(item));
    }
    return items;
}

void BatchTransfer::settleExistingFiles(const std::string& folder, IfExists ifExists) {
    std::vector<std::size_t> existing;
    for (std::size_t index = 0; index < items_.size(); ++index) {
        if (items_[index].result == BatchItem::Result::NotTransferred &&
            somethingAt(items_[index].path)) {
            existing.push_back(index);
        }
    }
    if (existing.empty() || ifExists != IfExists::Ask) {
        keepExisting(existing, ifExists);
        return;
    }
    const FilledText question{
        TextId::ExistingFilesQuestion,
        {std::to_string(existing.size()), std::to_string(items_.size()), shownPath(folder)}};
    view_.askAboutExistingFiles(question, [this, existing](ExistingFilesAnswer answer) {
        if (answer == ExistingFilesAnswer::Cancel) {
            cancelled_ = true;
            items_.clear();
            end();
            return;
        }
        keepExisting(existing, answer == ExistingFilesAnswer::ReplaceAll ? IfExists::Replace
                                                                         : IfExists::Keep);
    });
}

void BatchTransfer::keepExisting(const std::vector<std::size_t>& existing, IfExists ifExists) {
    if (ifExists == IfExists::Keep) {
        for (const std::size_t index : existing) {
            items_[index].result = BatchItem::Result::Kept;
        }
    }
    // A file that appears while the run goes on is kept unless the operator agreed to
    // replace the existing ones.
    keepExisting_ = ifExists != IfExists::Replace;
    transferNext();
}

bool BatchTransfer::noteOutcome(BatchItem::Result success) {
    BatchItem& item = items_[current_];
    const ExchangeOutcome& outcome = exchange_.outcome();
    bool goOn = true;
    if (outcome.cancelled()) {
        item.result = BatchItem::Result::Cancelled;
        cancelled_ = true;
        goOn = false;
    } else if (outcome.letter() == kStatusAccepted) {
        item.result = success;
        item.storedAs = escapedName(outcome.storedAs);
    } else {
        item.result = BatchItem::Result::Failed;
        item.letter = outcome.letter();
        item.detail = !exchange_.causeLine().empty() ? exchange_.causeLine() : outcome.reason;
        goOn = item.letter != kNotResponding;
    }
    ++current_;
    return goOn;
}

// ---- What the operator sees

FilledText BatchTransfer::describe(const BatchItem& item, const std::string& shownName,
                                   Language language) {
    const MessageCatalog catalog(language);
    switch (item.result) {
        case BatchItem::Result::Saved:
            return {TextId::RunSavedLine, {shownName, shownPath(item.path)}};
        case BatchItem::Result::Stored:
            return {TextId::RunStoredLine, {shownName, item.storedAs}};
        case BatchItem::Result::Failed: {
            const std::optional<TextId> box = outcomeBoxText(item.letter);
            std::string text = asOneLine(catalog.lookup(box ? *box : TextId::StatusFailure));
            if (!item.detail.empty()) {
                text += " (" + item.detail + ")";
            }
            return {TextId::RunFailedLine, {shownName, shownStatusLetter(item.letter), text}};
        }
        case BatchItem::Result::Kept:
            return {TextId::RunKeptLine, {shownName, shownPath(item.path)}};
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
    return sending_ ? shownPath(item.path) : escapedName(trimmedDeviceName(item.name));
}

int BatchTransfer::transferredCount(const std::vector<BatchItem>& items) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const BatchItem& item) {
        return item.result == BatchItem::Result::Saved || item.result == BatchItem::Result::Stored;
    }));
}

void BatchTransfer::showFileStatus(std::size_t number, std::size_t count, const std::string& name) {
    exchange_.showStatus(
        FilledText{TextId::StatusRunFile, {std::to_string(number), std::to_string(count), name}});
}

void BatchTransfer::showSummary(const std::vector<BatchItem>& items) {
    const Language language = exchange_.language();
    const MessageCatalog catalog(language);
    std::vector<std::string> lines;
    for (const BatchItem& item : items) {
        lines.push_back(catalog.lookup(describe(item, shownName(item), language)));
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
    exchange_.showStatus(heading);
    view_.showBox({.kind = ExchangeBox::Kind::Summary,
                   .icon = anyFailure ? MessageIcon::Exclamation : MessageIcon::Information,
                   .text = heading,
                   .lines = std::move(lines)},
                  [] {});
}

void BatchTransfer::showListingFailure() {
    if (exchange_.outcome().cancelled()) {
        showStatus(TextId::StatusCancelled);
        return;
    }
    const char code = exchange_.outcome().letter();
    if (const std::optional<TextId> text = outcomeBoxText(code)) {
        view_.showBox(ExchangeBox::outcome(*text, exchange_.causeLine()), [] {});
        showStatus(TextId::StatusFailure);
    } else {
        exchange_.showStatus(FilledText{TextId::StatusFailureLetter, {shownStatusLetter(code)}});
    }
}

void BatchTransfer::showStatus(TextId id) {
    exchange_.showStatus(FilledText{id, {}});
}

}  // namespace dravolin
