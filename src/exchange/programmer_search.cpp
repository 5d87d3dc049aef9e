#include "exchange/programmer_search.h"

#include <algorithm>

#include "protocol/frames.h"
#include "protocol/reply_waits.h"

namespace dravolin {

std::string lettersHeardLine(const std::string& device, const std::vector<HeardLetter>& letters,
                             Language language,
                             const std::function<std::string(const LineSettings&)>& shownLine) {
    if (letters.empty()) {
        return {};
    }
    const MessageCatalog catalog(language);
    // The protocol's own failure letters first: a refusal among the bytes of other settings.
    std::vector<HeardLetter> ordered = letters;
    std::stable_partition(ordered.begin(), ordered.end(), [](const HeardLetter& letter) {
        return outcomeBoxText(letter.letter).has_value();
    });
    std::string heard;
    for (const HeardLetter& letter : ordered) {
        heard +=
            (heard.empty() ? "" : "; ") +
            catalog.lookup(FilledText{TextId::FindLetterAt,
                                      {shownStatusLetter(letter.letter), shownLine(letter.line)}});
    }
    return catalog.lookup(FilledText{TextId::FindAnsweredWithout, {device, heard}});
}

namespace {

// How long a try waits at `line` where nothing comes: the status reply's wait for the
// directory request, short in the first pass (see TryRequest::shortFirstWait).
int silentTryMs(const LineSettings& line, bool firstPass) {
    const LineTiming timing{line.baudRate, line.parity, line.stopBits};
    const std::size_t frame = directoryRequest().size();
    return firstPass ? replyWaitMs(0, frame, kStatusReplyLength, timing)
                     : statusWaitMs(frame, timing);
}

}  // namespace

ProgrammerSearch::ProgrammerSearch(LineTry& lineTry, std::vector<SearchCandidate> candidates,
                                   std::vector<LineSettings> order)
    : lineTry_(lineTry), order_(std::move(order)) {
    for (SearchCandidate& candidate : candidates) {
        DeviceFindings device;
        device.devicePath = std::move(candidate.devicePath);
        device.shownName = std::move(candidate.shownName);
        device.skipped = std::move(candidate.skipped);
        result_.devices.push_back(std::move(device));
    }
}

ProgrammerSearch::~ProgrammerSearch() {
    if (running_) {
        // The try under way counts, as the try that a cancel ends does.
        if (tryRunning_) {
            takeOutcome(TryOutcome::of(TryOutcome::Kind::Cancelled));
        }
        result_.cancelled = true;
        tellRecord();
    }
}

void ProgrammerSearch::start() {
    if (running_) {
        return;
    }
    running_ = true;
    startedAt_ = std::chrono::system_clock::now();
    startedOnClock_ = std::chrono::steady_clock::now();
    cancelRequested_ = false;
    pass_ = 1;
    device_ = 0;
    setting_ = 0;
    tryNumber_ = 0;
    silentAtFirst_.assign(result_.devices.size(), std::vector<bool>(order_.size(), false));
    tryCount_ = triesInPass();
    runTries();
}

void ProgrammerSearch::cancel() {
    if (!running_) {
        return;
    }
    cancelRequested_ = true;
    if (tryRunning_) {
        lineTry_.cancel();
    }
}

bool ProgrammerSearch::worthAsking(std::size_t device, std::size_t setting) const {
    // Bytes that were no reply, or a refusal, would not become one with a longer wait: the
    // second pass asks again only where the first heard nothing at all. A device that sent
    // nothing back at any setting has no programmer behind it, slow or not (one that is
    // slow to answer still shows at some setting as a late byte or a line error).
    return pass_ == 1 ||
           (result_.devices[device].heardSomething > 0 && silentAtFirst_[device][setting]);
}

std::size_t ProgrammerSearch::triesLeftOn(std::size_t device, std::size_t fromSetting) const {
    std::size_t count = 0;
    for (std::size_t setting = fromSetting; setting < order_.size(); ++setting) {
        count += worthAsking(device, setting) ? 1 : 0;
    }
    return count;
}

std::size_t ProgrammerSearch::triesInPass() const {
    std::size_t count = 0;
    for (std::size_t device = 0; device < result_.devices.size(); ++device) {
        count += result_.devices[device].skipped ? 0 : triesLeftOn(device, 0);
    }
    return count;
}

long ProgrammerSearch::secondsLeft() const {
    // In the first pass, a device heard so far is counted with the second pass it will get
    // at its silent settings, those to come included; a device not heard, with none.
    long milliseconds = 0;
    for (std::size_t device = 0; device < result_.devices.size(); ++device) {
        if (result_.devices[device].skipped) {
            continue;
        }
        const bool heard = result_.devices[device].heardSomething > 0;
        for (std::size_t setting = 0; setting < order_.size(); ++setting) {
            const bool due = device > device_ || (device == device_ && setting >= setting_);
            const LineSettings& line = order_[setting];
            if (pass_ == 1) {
                milliseconds += due ? silentTryMs(line, true) : 0;
                milliseconds += heard && (due || silentAtFirst_[device][setting])
                                    ? silentTryMs(line, false)
                                    : 0;
            } else if (due && worthAsking(device, setting)) {
                milliseconds += silentTryMs(line, false);
            }
        }
    }
    return (milliseconds + 999) / 1000;
}

bool ProgrammerSearch::advance() {
    // To the next device still worth asking and the setting due on it.
    while (device_ < result_.devices.size()) {
        if (result_.devices[device_].skipped || setting_ >= order_.size()) {
            ++device_;
            setting_ = 0;
        } else if (!worthAsking(device_, setting_)) {
            ++setting_;
        } else {
            return true;
        }
    }
    if (pass_ == 2) {
        return false;
    }
    pass_ = 2;
    device_ = 0;
    setting_ = 0;
    tryNumber_ = 0;
    tryCount_ = triesInPass();
    return tryCount_ > 0 && advance();
}

void ProgrammerSearch::runTries() {
    // Tries whose outcome comes before their start() returns are taken here in turn, not by
    // calling deeper, so that a long run of quick tries never grows the stack.
    for (;;) {
        if (cancelRequested_) {
            result_.cancelled = true;
        }
        if (result_.found || result_.cancelled || !advance()) {
            finish();  // the last use of this object: the call may end it
            return;
        }
        const DeviceFindings& device = result_.devices[device_];
        ++tryNumber_;
        if (progress_) {
            progress_(SearchProgress{device.shownName, order_[setting_], tryNumber_, tryCount_,
                                     pass_, secondsLeft()});
        }
        tryRunning_ = true;
        insideStart_ = true;
        outcomeWaiting_ = false;
        lineTry_.start(TryRequest{device.devicePath, order_[setting_], pass_ == 1},
                       [this](const TryOutcome& outcome) {
                           takeOutcome(outcome);
                           if (insideStart_) {
                               outcomeWaiting_ = true;
                           } else {
                               runTries();
                           }
                       });
        insideStart_ = false;
        if (!outcomeWaiting_) {
            return;  // the try goes on; its end calls runTries again
        }
    }
}

void ProgrammerSearch::takeOutcome(const TryOutcome& outcome) {
    tryRunning_ = false;
    DeviceFindings& device = result_.devices[device_];
    ++device.tries;
    device.secondPassTries += pass_ == 2 ? 1 : 0;
    switch (outcome.kind) {
        case TryOutcome::Kind::Answered:
            result_.found = SearchResult::Found{device.devicePath, device.shownName,
                                                order_[setting_], outcome.fileCount};
            return;
        case TryOutcome::Kind::Cancelled:
            cancelRequested_ = true;
            return;
        case TryOutcome::Kind::Unusable:
            // The device itself failed (busy, gone): no other setting would do better.
            tryNumber_ += triesLeftOn(device_, setting_ + 1);
            device.skipped = outcome.reason;
            ++device_;
            setting_ = 0;
            return;
        case TryOutcome::Kind::Refused:
            device.letters.push_back(HeardLetter{order_[setting_], outcome.letter});
            [[fallthrough]];
        case TryOutcome::Kind::LineErrors:
        case TryOutcome::Kind::Garbage:
            ++device.heardSomething;
            break;
        case TryOutcome::Kind::Silence:
            if (pass_ == 1) {
                silentAtFirst_[device_][setting_] = true;
            }
            break;
    }
    ++setting_;
}

void ProgrammerSearch::finish() {
    tellRecord();
    running_ = false;
    if (finished_) {
        const FinishedCall call = finished_;
        call(result_);
    }
}

void ProgrammerSearch::tellRecord() {
    if (record_) {
        record_(record());
    }
}

ExchangeRecord ProgrammerSearch::record() const {
    ExchangeRecord record;
    record.function = ExchangeRecord::Function::Find;
    record.startedAt = startedAt_;
    record.duration = std::chrono::steady_clock::now() - startedOnClock_;
    // Where the programmer answered; else the first device asked, at the first setting.
    const auto firstAsked =
        std::find_if(result_.devices.begin(), result_.devices.end(),
                     [](const DeviceFindings& device) { return device.tries > 0; });
    LineSettings line = order_.empty() ? LineSettings{} : order_.front();
    if (result_.found) {
        record.devicePath = result_.found->devicePath;
        line = result_.found->line;
    } else if (firstAsked != result_.devices.end()) {
        record.devicePath = firstAsked->devicePath;
    } else if (!result_.devices.empty()) {
        record.devicePath = result_.devices.front().devicePath;
    }
    record.line.baudRate = line.baudRate;
    record.line.parity = line.parity;
    record.line.stopBits = line.stopBits;
    record.line.dataBits = 8;
    record.lineUsed = firstAsked != result_.devices.end();
    // As the operator was told: a cancel wins over an answer that came with it.
    record.cancelled = result_.cancelled;
    // Nothing answered: the letter of a device that does not respond.
    record.outcome = result_.found || result_.cancelled ? kStatusAccepted : 'N';
    for (const DeviceFindings& device : result_.devices) {
        if (device.tries == 0) {
            continue;
        }
        const std::size_t firstPass = device.tries - device.secondPassTries;
        record.tried += (record.tried.empty() ? "" : ";") + device.devicePath + ":" +
                        std::to_string(firstPass) +
                        (device.secondPassTries > 0 ? "+" + std::to_string(device.secondPassTries)
                                                    : std::string());
    }
    return record;
}

}  // namespace dravolin
