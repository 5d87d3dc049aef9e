#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/engine/machine_steps.h"
#include "exchange/exchange_view.h"

namespace dravolin {

class Exchange;

// One file of a run and how it went.
struct BatchItem {
    enum class Result { Saved, Stored, Failed, Kept, Skipped, Cancelled, NotTransferred };
    std::string name;  // a backup: the device's name; a send: the path chosen
    std::string path;  // the file on the PC: the target of a backup, the file sent
    Result result = Result::NotTransferred;
    char letter = 0;       // Failed: the outcome's status letter
    std::string detail;    // Failed and Skipped: why, when known
    std::string storedAs;  // Stored: the programmer's name of the file, as names are shown
};

// Several files in turn: every file of the programmer backed up into a folder, or several
// files sent. Each file is a whole exchange of its own, so that it starts, shows progress,
// can be cancelled and ends like one started from the menu; only the outcomes are held
// back and shown together at the end. A run goes on from one exchange to the next as each
// ends: nothing here waits.
//
// A run stops at Cancel (the file in hand is discarded, the files done stay) and when the
// programmer does not answer ('N'): the files after it would only wait for their time-outs.
class BatchTransfer {
public:
    // What to do with files of a backup that exist already in its folder.
    enum class IfExists { Ask, Replace, Keep };
    // Told the files of a run and how each went, once the run has ended.
    using Finished = std::function<void(const std::vector<BatchItem>&)>;

    BatchTransfer(Exchange& exchange, ExchangeView& view);

    // The window's "Back up all files...": asks for the folder, backs up, shows the summary.
    void backUpAll();
    // The window's send: the open dialog allows several files. One file is sent as a single
    // send is; several are sent in turn and summed up.
    void sendChosenFiles();

    // Lists the programmer's files once and fetches each into `folder` as NAME.tiv. A name
    // that cannot be a file name is skipped. No files when the listing failed or was
    // cancelled, the question was cancelled, or the programmer holds no file.
    void backUp(const std::string& folder, IfExists ifExists, Finished finished);
    // Sends the files in turn; one that is refused (malformed, not a regular file) does not
    // stop the others.
    void sendFiles(const std::vector<std::string>& paths, Finished finished);

    // The listing that opens a backup failed or was cancelled: the exchange's outcome says
    // how.
    bool listingFailed() const { return listingFailed_; }
    // The run was cancelled: by Cancel during a file, or at the question about existing
    // files.
    bool cancelled() const { return cancelled_; }

    // The summary line of one file, its name shown as `shownName`.
    static FilledText describe(const BatchItem& item, const std::string& shownName,
                               Language language);
    // The name of the file a summary line starts with: the programmer's name (escaped as
    // dravolin-cli's list prints it) in a backup, the path in a send.
    std::string shownName(const BatchItem& item) const;
    // How many files reached their destination.
    static int transferredCount(const std::vector<BatchItem>& items);

private:
    void begin(bool sending, Finished finished);
    void afterListing(const std::string& folder, IfExists ifExists);
    std::vector<BatchItem> plannedBackup(const std::string& folder) const;
    void settleExistingFiles(const std::string& folder, IfExists ifExists);
    void keepExisting(const std::vector<std::size_t>& existing, IfExists ifExists);
    // The next file of the run, or its end.
    void transferNext();
    // A whole exchange of the run: it asks nothing and shows no outcome of its own.
    ExchangeRequest requestOf(ExchangeRequest::Kind kind) const;
    // Records how the exchange of the current file ended; false when the run stops there.
    bool noteOutcome(BatchItem::Result success);
    void end();
    void showFileStatus(std::size_t number, std::size_t count, const std::string& name);
    void showResults(const std::vector<BatchItem>& items);
    void showSummary(const std::vector<BatchItem>& items);
    void showListingFailure();
    void showStatus(TextId id);

    Exchange& exchange_;
    ExchangeView& view_;
    bool listingFailed_ = false;
    bool cancelled_ = false;
    bool sending_ = false;
    bool keepExisting_ = false;  // a fetched file may only be new
    std::vector<DeviceNameField> listing_;
    std::vector<BatchItem> items_;
    std::size_t current_ = 0;
    Finished finished_;
};

}  // namespace dravolin
