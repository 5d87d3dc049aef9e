#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/exchange_record.h"
#include "exchange/line_try.h"
#include "exchange/search_candidates.h"

namespace dravolin {

// Where the search stands: shown while it runs.
struct SearchProgress {
    std::string shownName;      // the device being asked
    LineSettings line;          // the settings being tried
    std::size_t tryNumber = 0;  // k of n, counted within the pass
    std::size_t tryCount = 0;
    int pass = 1;  // 2: the first found nothing; now with the full waits
    // What the tries still due take when nothing answers, this one included: the first
    // pass's short waits, and the full waits of a second pass on the devices heard so far.
    long secondsLeft = 0;
};

// A status letter other than '0' that came back for the directory request: a programmer
// that refuses, or bytes at other settings than its own.
struct HeardLetter {
    LineSettings line;
    char letter = 0;
};

// What the search learnt of one device.
struct DeviceFindings {
    std::string devicePath;
    std::string shownName;
    std::optional<FilledText> skipped;  // why it was not (or no longer) asked
    std::size_t tries = 0;              // tries made on it, both passes together
    std::size_t secondPassTries = 0;    // of those, the second pass's
    std::size_t heardSomething = 0;     // tries that got bytes or line errors, but no answer
    std::vector<HeardLetter> letters;   // in the order heard
};

struct SearchResult {
    struct Found {
        std::string devicePath;
        std::string shownName;
        LineSettings line;
        int fileCount = 0;
    };
    std::optional<Found> found;
    bool cancelled = false;
    std::vector<DeviceFindings> devices;  // in the order asked, also when found
};

// The letters a device sent back instead of a directory, as one line for the operator:
// "DEVICE answered without a directory: X at 9600,E,1; 0xF3 at 19200,O,1", the protocol's
// failure letters first. Empty when none came; `device` as it is to be shown, and each
// setting as `shownLine` words it (a window spells it out; a terminal keeps the letters).
std::string lettersHeardLine(const std::string& device, const std::vector<HeardLetter>& letters,
                             Language language,
                             const std::function<std::string(const LineSettings&)>& shownLine);

// Asks the candidate devices at each line setting in turn, with a directory exchange, and
// stops at the first complete, correct reply. The first pass waits briefly for the status
// reply, so that a silent setting costs little; only when it found nothing does a second
// pass ask again with the full waits, for a programmer slow to answer: on the devices where
// the first pass heard anything at all (a device where nothing ever came back has nobody
// behind it), and there at the settings where it heard nothing (noise or a refusal is an
// answer of its own).
//
// The search does no I/O itself: each try goes to a LineTry, and the search goes on when
// the try tells that it has ended. It runs on whatever event loop the try uses.
class ProgrammerSearch {
public:
    using ProgressCall = std::function<void(const SearchProgress&)>;
    using FinishedCall = std::function<void(const SearchResult&)>;
    using RecordCall = std::function<void(const ExchangeRecord&)>;

    ProgrammerSearch(LineTry& lineTry, std::vector<SearchCandidate> candidates,
                     std::vector<LineSettings> order);
    // A search still running ends as cancelled, and its record is told.
    ~ProgrammerSearch();
    ProgrammerSearch(const ProgrammerSearch&) = delete;
    ProgrammerSearch& operator=(const ProgrammerSearch&) = delete;

    void onProgress(ProgressCall call) { progress_ = std::move(call); }
    void onFinished(FinishedCall call) { finished_ = std::move(call); }
    // The whole search as one record of function `find`, for the transfer log: told once
    // for each start, at its end just before `finished`, or when the search is destroyed
    // while it runs (the window that ran it closed). The tries themselves are no records.
    void onRecord(RecordCall call) { record_ = std::move(call); }

    // Starts the search; `finished` is called once at its end (possibly before start
    // returns, when there is nothing to try).
    void start();
    // Ends the search after the try that runs, which ends at once.
    void cancel();
    bool running() const { return running_; }

private:
    void runTries();
    bool advance();
    void takeOutcome(const TryOutcome& outcome);
    void finish();
    void tellRecord();
    ExchangeRecord record() const;
    bool worthAsking(std::size_t device, std::size_t setting) const;
    std::size_t triesLeftOn(std::size_t device, std::size_t fromSetting) const;
    std::size_t triesInPass() const;
    long secondsLeft() const;

    LineTry& lineTry_;
    std::vector<LineSettings> order_;
    ProgressCall progress_;
    FinishedCall finished_;
    RecordCall record_;
    SearchResult result_;
    std::chrono::system_clock::time_point startedAt_;
    std::chrono::steady_clock::time_point startedOnClock_;

    bool running_ = false;
    bool cancelRequested_ = false;
    bool tryRunning_ = false;
    bool insideStart_ = false;     // a try's start() is on the stack
    bool outcomeWaiting_ = false;  // its outcome came while it was
    int pass_ = 1;
    std::size_t device_ = 0;
    std::size_t setting_ = 0;
    std::size_t tryNumber_ = 0;
    std::size_t tryCount_ = 0;
    std::vector<std::vector<bool>> silentAtFirst_;  // [device][setting]: nothing came
};

}  // namespace dravolin
