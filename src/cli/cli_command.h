#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "cli/console_view.h"
#include "cli/console_warnings.h"
#include "exchange/batch_transfer.h"
#include "exchange/exchange.h"
#include "exchange/exchange_records.h"
#include "exchange/programmer_search.h"
#include "serial/serial_port.h"

namespace dravolin {

// Runs one command of dravolin-cli with the same exchange as the window, on the
// QCoreApplication's event loop, which run() runs until the command is done. Exit status: 0
// success, 1 the exchange ended with a failure status, 2 the command cannot be carried out as
// given, 128 + the signal's number when a signal cancelled the exchange (130 for SIGINT, 143 for
// SIGTERM).
class CliCommand {
public:
    static constexpr int kSuccess = 0;
    static constexpr int kExchangeFailed = 1;
    static constexpr int kUsageError = 2;

    explicit CliCommand(const CliOptions& options, std::FILE* out = stdout, std::FILE* err = stderr,
                        bool showProgress = false);

    int run();

    // A stop signal came (handled on the interface thread): the exchange is cancelled, the
    // link closed and nothing is left half-written.
    void interrupt(int signal);

private:
    // Each starts its command; the command ends through done().
    void list();
    void get();
    void put();
    void backUp();
    void putSeveral();
    void done(int status);
    // One line per file of a run on stdout; the exit status of the run.
    int reportRun(const std::vector<BatchItem>& items, const BatchTransfer& run);
    int ports();
    int log();
    int find();
    SearchResult search(ProgrammerSearch& finder);
    void showSearchProgress(const SearchProgress& step);
    void endSearchProgress();
    // A record (transfer log, trace file) that cannot be written, once each.
    void warnAboutRecords(const FilledText& warning);
    void sayLockNotice();
    // The file a get writes: the one named with -o, or NAME.tiv when that is new; none, with
    // the reason in `refusal`, when NAME makes no file name or NAME.tiv is there already.
    std::string fetchTarget(std::string& refusal) const;
    int reportOutcome();
    // The failure line of `code` (nothing for success); the exit status it gives.
    int reportLetter(char code);

    const CliOptions& options_;
    std::FILE* out_;
    std::FILE* err_;
    ConsoleWarnings warnings_;
    SerialPort port_;
    ConsoleView view_;
    Exchange exchange_;
    ExchangeRecords records_;  // after the exchange: it leaves the exchange first
    BatchTransfer run_;
    std::string traceError_;
    bool lockNoticeSaid_ = false;
    int interruptedBy_ = 0;
    bool showProgress_ = false;
    ProgrammerSearch* search_ = nullptr;  // while find runs
    std::size_t progressLength_ = 0;      // of the progress line on the terminal
};

}  // namespace dravolin
