#pragma once

#include <functional>
#include <string>

#include "core/message_catalog.h"

namespace dravolin {

// Line settings as the programmer's keypad sets them: 8 data bits always.
struct LineSettings {
    int baudRate = 9600;
    char parity = 'E';  // 'O', 'E' or 'N'
    int stopBits = 1;

    // "19200,O,2"
    std::string text() const;
    bool operator==(const LineSettings&) const = default;
};

// One try of the search: a directory exchange on `devicePath` at `line`.
struct TryRequest {
    std::string devicePath;
    LineSettings line;
    // The first pass waits for the status reply only as long as the frame and the reply
    // take on the line, plus the device's allowance; the second pass waits as long as any
    // exchange does.
    bool shortFirstWait = true;
};

// How one try ended.
struct TryOutcome {
    enum class Kind {
        Answered,    // a complete directory with a correct check byte: fileCount files
        Refused,     // a status reply whose letter is not '0' (letter)
        LineErrors,  // the port saw parity or framing errors
        Garbage,     // bytes came, but no whole reply that passed its checks
        Silence,     // nothing (more) came within the wait
        Unusable,    // the device could not be opened: `reason` says why
        Cancelled,
    };
    Kind kind = Kind::Silence;
    int fileCount = 0;
    char letter = 0;
    FilledText reason;  // Unusable only

    static TryOutcome of(Kind kind) { return TryOutcome{kind, 0, 0, {}}; }
    static TryOutcome answered(int files) { return TryOutcome{Kind::Answered, files, 0, {}}; }
    static TryOutcome refused(char letter) { return TryOutcome{Kind::Refused, 0, letter, {}}; }
    static TryOutcome unusable(FilledText why) {
        return TryOutcome{Kind::Unusable, 0, 0, std::move(why)};
    }
};

// Runs one directory exchange at given settings on a given device, to its end or its
// time-out: the port's lock is taken and released and its settings are put back as for any
// exchange. The search sees nothing else of the exchange, so that any driver of it can
// stand behind this.
class LineTry {
public:
    using Done = std::function<void(const TryOutcome&)>;

    virtual ~LineTry() = default;

    // Starts the try; `done` is called exactly once, possibly before start returns, and
    // the line is closed by then.
    virtual void start(const TryRequest& request, Done done) = 0;
    // Ends the running try at once (its `done` then says Cancelled); nothing when none runs.
    virtual void cancel() = 0;
};

}  // namespace dravolin
