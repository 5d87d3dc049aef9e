#include "cli/cli_command.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include <QEventLoop>

#include "cli/find_report.h"
#include "cli/port_listing.h"
#include "exchange/search_candidates.h"
#include "exchange/search_order.h"
#include "exchange/serial_line_try.h"
#include "exchange/transfer_progress.h"
#include "protocol/escaped_name.h"
#include "protocol/path_text.h"
#include "protocol/safe_file_name.h"
#include "serial/port_lock.h"
#include "serial/port_scanner.h"

namespace dravolin {

CliCommand::CliCommand(const CliOptions& options, std::FILE* out, std::FILE* err, bool showProgress)
    : options_(options),
      out_(out),
      err_(err),
      warnings_(err),
      port_(warnings_, options.portMap),
      view_(err, showProgress, options.language.value_or(Language::English)),
      exchange_(view_, port_, options_.settings),
      records_(exchange_, "dravolin-cli", TransferLog::defaultPath(),
               [this](const FilledText& warning) { warnAboutRecords(warning); }),
      run_(exchange_, view_),
      showProgress_(showProgress) {
    // A terminal has nothing to hold on screen after the outcome.
    exchange_.setOutcomePause(0);
    exchange_.setLineSettingsAdvice(TextId::LineSettingsDifferCli);
}

int CliCommand::run() {
    if (options_.trace && !records_.startTrace(options_.traceFile, traceError_, err_)) {
        std::fprintf(err_, "dravolin-cli: cannot write the protocol trace to %s: %s\n",
                     shownPath(options_.traceFile).c_str(), traceError_.c_str());
        return kUsageError;
    }
    switch (options_.command) {
        case CliOptions::Command::List:
            list();
            break;
        case CliOptions::Command::Get:
            get();
            break;
        case CliOptions::Command::Put:
            put();
            break;
        case CliOptions::Command::Ports:
            return ports();
        case CliOptions::Command::Log:
            return log();
        case CliOptions::Command::Find:
            return find();
        default:
            std::fputs(CliOptions::usage().c_str(), err_);
            return kUsageError;
    }
    // The exchange runs on the event loop until the command says it is done.
    return QCoreApplication::exec();
}

void CliCommand::done(int status) {
    // From the event loop, so that an end reached while starting still finds it running.
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [status] { QCoreApplication::exit(status); });
}

void CliCommand::list() {
    ExchangeRequest request;
    request.kind = ExchangeRequest::Kind::List;
    exchange_.start(std::move(request), [this] {
        if (exchange_.outcome().ending != ExchangeOutcome::Ending::Success) {
            done(reportOutcome());  // a failure, or an empty directory
            return;
        }
        sayLockNotice();
        for (const DeviceNameField& name : exchange_.outcome().names) {
            std::fprintf(out_, "%s\n", escapedName(trimmedDeviceName(nameOf(name))).c_str());
        }
        // Whether the list reached its reader is for the caller to check (main does).
        std::fflush(out_);
        done(kSuccess);
    });
}

void CliCommand::get() {
    if (options_.all) {
        backUp();
        return;
    }
    // The target is settled before the line is opened; a get whose name is listed ends at the
    // listing when there is none ('D', logged as such).
    std::string refusal;
    ExchangeRequest request;
    request.kind = ExchangeRequest::Kind::Fetch;
    request.wantedName = options_.name;
    request.path = fetchTarget(refusal);
    // NAME.tiv chosen here must be new: a file made there meanwhile is not replaced.
    request.keepExisting = options_.outputPath.empty();
    exchange_.start(std::move(request), [this, refusal] {
        if (exchange_.outcome().ending == ExchangeOutcome::Ending::LocalFailure &&
            !refusal.empty()) {
            std::fprintf(err_, "dravolin-cli: %s\n", refusal.c_str());
            done(kUsageError);
            return;
        }
        done(reportOutcome());
    });
}

void CliCommand::put() {
    if (options_.inputPaths.size() > 1) {
        putSeveral();
        return;
    }
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(pathFromText(options_.inputPath), error);
    ExchangeRequest request;
    request.kind = ExchangeRequest::Kind::Send;
    request.path = error ? options_.inputPath : textOfPath(absolute);
    exchange_.showStatus(FilledText{TextId::StatusPleaseWait, {}});
    exchange_.start(std::move(request), [this] { done(reportOutcome()); });
}

void CliCommand::backUp() {
    // The folder must be there before the line is opened: a typing error in it should not
    // cost a whole run.
    if (!options_.folder.empty()) {
        std::error_code error;
        if (!std::filesystem::is_directory(pathFromText(options_.folder), error)) {
            std::fprintf(err_, "dravolin-cli: -d %s: %s\n", shownPath(options_.folder).c_str(),
                         error ? error.message().c_str() : "not a folder");
            done(kUsageError);
            return;
        }
    }
    run_.backUp(options_.folder,
                options_.replace ? BatchTransfer::IfExists::Replace : BatchTransfer::IfExists::Keep,
                [this](const std::vector<BatchItem>& items) {
                    done(run_.listingFailed() ? reportOutcome() : reportRun(items, run_));
                });
}

void CliCommand::putSeveral() {
    run_.sendFiles(options_.inputPaths,
                   [this](const std::vector<BatchItem>& items) { done(reportRun(items, run_)); });
}

int CliCommand::reportRun(const std::vector<BatchItem>& items, const BatchTransfer& run) {
    sayLockNotice();
    const Language language = options_.language.value_or(Language::English);
    const MessageCatalog catalog(language);
    for (const BatchItem& item : items) {
        const FilledText line = BatchTransfer::describe(item, run.shownName(item), language);
        std::fprintf(out_, "%s\n", catalog.lookup(line).c_str());
    }
    std::fflush(out_);
    if (run.cancelled() && interruptedBy_ != 0) {
        return 128 + interruptedBy_;
    }
    const bool everyFile = BatchTransfer::transferredCount(items) == static_cast<int>(items.size());
    return everyFile && !run.cancelled() ? kSuccess : kExchangeFailed;
}

int CliCommand::ports() {
    const std::vector<PortListingEntry> entries = listPorts(PortScanner(), options_.portMap);
    const std::string listing = options_.json ? portsAsJson(entries) : portsAsText(entries);
    std::fputs(listing.c_str(), out_);
    std::fflush(out_);
    return kSuccess;
}

int CliCommand::log() {
    std::vector<std::string> lines;
    std::string error;
    if (!TransferLog::lastLines(records_.transferLog().path(), options_.logLines, lines, error)) {
        std::fprintf(err_, "dravolin-cli: %s\n", shownTextNamingPaths(error).c_str());
        return kExchangeFailed;
    }
    for (const std::string& line : lines) {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
    return kSuccess;
}

int CliCommand::find() {
    const Language language = options_.language.value_or(Language::English);
    const PortScanner scanner;
    const SearchCandidates candidates(scanner, PortLock::defaultFolder());
    // The devices the Com ports are mapped to (saved by the window, or --port N=PATH) are
    // asked too when the scan does not list them: a simulator's pseudo-terminal.
    std::vector<std::string> mapped;
    for (const auto& [port, path] : options_.portMap.mappings()) {
        mapped.push_back(path);
    }
    std::vector<SearchCandidate> devices = options_.findDevices.empty()
                                               ? candidates.discovered(mapped)
                                               : candidates.named(options_.findDevices);
    if (devices.empty()) {
        std::fprintf(err_, "dravolin-cli: %s\n",
                     MessageCatalog(language).lookup(TextId::FindNoDevices).c_str());
        return kExchangeFailed;
    }
    SerialLineTry lineTry(warnings_);
    for (ExchangeObserver* observer : records_.tryObservers()) {
        lineTry.addObserver(*observer);
    }
    const LineSettings saved{options_.settings.baudRate,
                             static_cast<char>(options_.settings.parity),
                             options_.settings.stopBits};
    ProgrammerSearch finder(lineTry, std::move(devices), searchOrder(saved));
    finder.onRecord([this](const ExchangeRecord& record) { records_.keep(record); });
    const SearchResult result = search(finder);
    if (result.cancelled) {
        return interruptedBy_ != 0 ? 128 + interruptedBy_ : kExchangeFailed;
    }
    if (options_.json) {
        std::fputs(searchAsJson(result, language).c_str(), out_);
    } else if (result.found) {
        std::fputs(foundAsText(*result.found).c_str(), out_);
    }
    std::fflush(out_);
    if (result.found) {
        return kSuccess;
    }
    std::fprintf(err_, "dravolin-cli: %s\n",
                 MessageCatalog(language).lookup(TextId::FindNothing).c_str());
    for (const std::string& line : triedLines(result, language)) {
        std::fprintf(err_, "dravolin-cli: %s\n", line.c_str());
    }
    return kExchangeFailed;
}

SearchResult CliCommand::search(ProgrammerSearch& finder) {
    // The tries run on the event loop; this loop turns until the search has ended.
    QEventLoop loop;
    SearchResult result;
    bool ended = false;
    finder.onProgress([this](const SearchProgress& step) { showSearchProgress(step); });
    finder.onFinished([&](const SearchResult& outcome) {
        result = outcome;
        ended = true;
        loop.quit();
    });
    search_ = &finder;
    finder.start();
    if (!ended) {
        loop.exec();
    }
    search_ = nullptr;
    endSearchProgress();
    return result;
}

void CliCommand::showSearchProgress(const SearchProgress& step) {
    if (!showProgress_) {
        return;
    }
    const MessageCatalog catalog(options_.language.value_or(Language::English));
    std::string line = catalog.lookup(FilledText{
                           TextId::FindProgress,
                           {shownPath(step.shownName), step.line.text(),
                            std::to_string(step.tryNumber), std::to_string(step.tryCount)}}) +
                       timeLeftText(step.secondsLeft, catalog.language());
    if (step.pass == 2 && step.tryNumber == 1) {
        endSearchProgress();
        std::fprintf(err_, "%s\n", catalog.lookup(TextId::FindSecondPass).c_str());
    }
    const std::size_t length = line.size();
    line.resize(std::max(length, progressLength_), ' ');
    std::fprintf(err_, "\r%s", line.c_str());
    std::fflush(err_);
    progressLength_ = length;
}

void CliCommand::endSearchProgress() {
    if (showProgress_ && progressLength_ > 0) {
        std::fprintf(err_, "\r%s\r", std::string(progressLength_, ' ').c_str());
        std::fflush(err_);
        progressLength_ = 0;
    }
}

void CliCommand::warnAboutRecords(const FilledText& warning) {
    const MessageCatalog catalog(options_.language.value_or(Language::English));
    std::fprintf(err_, "dravolin-cli: %s\n", asOneLine(catalog.lookup(warning)).c_str());
}

void CliCommand::sayLockNotice() {
    // Once, however many times the port was opened.
    if (!lockNoticeSaid_ && !port_.lockNotice().empty()) {
        std::fprintf(err_, "dravolin-cli: %s\n", shownText(port_.lockNotice()).c_str());
        lockNoticeSaid_ = true;
    }
}

std::string CliCommand::fetchTarget(std::string& refusal) const {
    if (!options_.outputPath.empty()) {
        return options_.outputPath;  // the operator named the file: it may be replaced
    }
    const MessageCatalog catalog(options_.language.value_or(Language::English));
    std::string reason;
    // The listed name that answers to this one differs from it at most in trailing blanks,
    // which the file name leaves out.
    const std::optional<std::string> fileName = fileNameForDeviceName(options_.name, reason);
    if (!fileName) {
        refusal = catalog.lookup(FilledText{TextId::FetchNeedsFileName, {reason}});
        return {};
    }
    const std::string target = *fileName + ".tiv";
    // Anything at that name counts, a link to nowhere or in a loop too; nothing here
    // may throw.
    std::error_code error;
    const auto type = std::filesystem::symlink_status(pathFromText(target), error).type();
    if (type == std::filesystem::file_type::not_found) {
        return target;
    }
    if (type == std::filesystem::file_type::none) {
        refusal = catalog.lookup(
            FilledText{TextId::FetchTargetUnreadable, {shownPath(target), error.message()}});
    } else {
        refusal = catalog.lookup(FilledText{TextId::FetchTargetExists, {shownPath(target)}});
    }
    return {};
}

void CliCommand::interrupt(int signal) {
    interruptedBy_ = signal;
    if (search_ != nullptr) {
        search_->cancel();
    }
    exchange_.abandon();
}

int CliCommand::reportOutcome() {
    sayLockNotice();
    // Cancelled by a stop signal. One that came after the work was done cancelled nothing,
    // and the outcome below stands.
    if (exchange_.outcome().cancelled()) {
        return interruptedBy_ != 0 ? 128 + interruptedBy_ : kExchangeFailed;
    }
    return reportLetter(exchange_.outcome().letter());
}

int CliCommand::reportLetter(char code) {
    sayLockNotice();
    if (code == kStatusAccepted) {
        return kSuccess;
    }
    if (!exchange_.outcome().reason.empty()) {
        std::fprintf(err_, "dravolin-cli: %s\n", exchange_.outcome().reason.c_str());
    }
    if (!exchange_.causeLine().empty()) {
        std::fprintf(err_, "dravolin-cli: %s\n", exchange_.causeLine().c_str());
    }
    const std::optional<TextId> box = outcomeBoxText(code);
    const std::string text = ConsoleView::oneLine(box ? *box : TextId::StatusFailure,
                                                  options_.language.value_or(Language::English));
    std::fprintf(err_, "dravolin-cli: %s: %s\n", shownStatusLetter(code).c_str(), text.c_str());
    return kExchangeFailed;
}

}  // namespace dravolin
