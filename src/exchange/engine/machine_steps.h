#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/device_name.h"
#include "protocol/frames.h"
#include "protocol/replies.h"
#include "protocol/reply_waits.h"

// What goes into the exchange machine and what comes out of it: plain data, no I/O.
namespace dravolin {

// What the operator (or a run, or a program) asks for.
struct ExchangeRequest {
    enum class Kind {
        Receive,  // list the directory, then wait for the operator's pick of a name
        List,     // list the directory and end there
        Fetch,    // fetch `name` into `path` at once
        Send,     // send `path`; with no path, ask for the file first
        Find,     // one try of the search: a listing that asks only whether the programmer
                  // answers at these settings (what that changes: ExchangeMachine::Policy)
    };
    Kind kind = Kind::Receive;
    LineTiming line;
    DeviceNameField name{};  // Fetch: the entry's eight bytes, as listed
    std::string path;        // Fetch: the target; Send: the file
    // Receive: a program that fetches this name once it is listed (a get). An empty
    // directory does not hold it: 'R', not the no-files box.
    std::string wantedName{};
    bool keepExisting = false;    // a fetched file may only be new, never replace anything
    bool collected = false;       // a run reports the outcome at its end: the driver shows none
    bool shortFirstWait = false;  // the first status reply awaited for its line time only
};

// How an exchange ended: one ending, with what it carries, and what the line brought.
struct ExchangeOutcome {
    enum class Ending {
        Success,        // '0': listed, fetched to `savedTo`, or sent and stored as `storedAs`
        NoFiles,        // '0': the directory is empty
        Refused,        // the programmer's own letter, not '0' (`code`)
        NotHeld,        // 'R': the name a program asked for is not in the directory
        BadReply,       // 'B', or 'W' (`code`, with `reason`): a reply that fails its checks
        TimedOut,       // 'N': the whole reply did not come in time
        ShortReply,     // 'N': the reply to a frame began but stopped short
        Stalled,        // 'N': a data reply began, then no byte came for its gap
        Gone,           // 'N': the line hung up (a find's: or could not be opened)
        NoAnswer,       // 'N': a find's try heard line errors, or a reply that is no answer
        LocalFailure,   // 'D': the file could not be read or written (`reason`), or its name
                        // cannot be sent (`unsendable`)
        Cancelled,      // by the operator
        NothingChosen,  // a file dialog was cancelled: nothing happened to report
    };
    // What came from the line during the exchange; errors outweigh bytes.
    enum class Heard { Nothing, Bytes, LineErrors };

    Ending ending = Ending::Success;
    Heard heard = Heard::Nothing;
    char code = 0;       // Refused: the programmer's letter; BadReply: 'B' or 'W'
    std::string reason;  // why a local failure or a bad reply happened, for a log or a terminal
    std::optional<UnsendableCharacter> unsendable;
    std::vector<DeviceNameField> names;  // the directory listed (List, Receive)
    std::string savedTo;                 // a fetch: the file written
    std::string storedAs;                // a send: the programmer's name of the file

    static ExchangeOutcome of(Ending ending, char code = 0, std::string reason = {}) {
        ExchangeOutcome outcome;
        outcome.ending = ending;
        outcome.code = code;
        outcome.reason = std::move(reason);
        return outcome;
    }
    // The status letter the exchange ended with; none ('\0') when it was cancelled.
    char letter() const;
    bool cancelled() const {
        return ending == Ending::Cancelled || ending == Ending::NothingChosen;
    }
};

inline char ExchangeOutcome::letter() const {
    switch (ending) {
        case Ending::Success:
        case Ending::NoFiles:
            return kStatusAccepted;
        case Ending::Refused:
        case Ending::BadReply:
            return code;
        case Ending::NotHeld:
            return 'R';
        case Ending::TimedOut:
        case Ending::ShortReply:
        case Ending::Stalled:
        case Ending::Gone:
        case Ending::NoAnswer:
            return 'N';
        case Ending::LocalFailure:
            return 'D';
        case Ending::Cancelled:
        case Ending::NothingChosen:
            break;
    }
    return '\0';
}

// One thing the driver is to do for the machine.
struct MachineAction {
    enum class Kind {
        OpenLink,
        CloseLink,
        Send,        // `bytes` on the line; what was received before is no reply to it
        ArmWait,     // a wait for `threshold` reply bytes, at most `milliseconds`
        ArmStall,    // the reply has begun: `milliseconds` without a byte end it (replyStalled);
                     // each arming replaces the one before, and disarming the wait ends it
        DisarmWait,  // the wait is over: no time-out may come from it
        AskFile,     // the open dialog (`save` false) or the save dialog, offering `path`
        LoadFile,    // read the file to send at `path`: fileLoaded or localFailure
        Save,        // write `bytes` to `path` whole: saved or localFailure
        Progress,    // `done` of `total` file bytes; `sending` while the data frame leaves
        ListNames,   // the directory is in: `names`
        End,         // the one end of the exchange: `outcome`
    };
    // Made with designated initializers: every member has its default here.
    Kind kind = Kind::End;
    Bytes bytes{};
    std::size_t threshold = 0;
    int milliseconds = 0;
    bool save = false;
    std::string path{};
    bool keepExisting = false;
    std::size_t done = 0;
    std::size_t total = 0;
    bool sending = false;
    std::vector<DeviceNameField> names{};
    ExchangeOutcome outcome{};
};

using MachineActions = std::vector<MachineAction>;

}  // namespace dravolin
