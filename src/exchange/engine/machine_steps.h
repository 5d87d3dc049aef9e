#pragma once

#include <cstddef>
#include <optional>
#include <string>
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
        Find,     // one try of the search: a listing that ends at once at line errors,
                  // takes a directory of any length, and ends with 'N' at a reply that fails
                  // its checks (it is no answer at all)
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

// How an exchange ended, with everything a window, a terminal or a log wants to say of it.
struct ExchangeOutcome {
    char letter = kStatusAccepted;  // the status letter; means nothing when cancelled
    bool cancelled = false;         // by the operator, or a file dialog was cancelled
    bool quiet = false;             // a file dialog was cancelled: nothing to report
    bool timedOut = false;          // 'N' because the reply did not come in time
    bool lineGone = false;          // 'N' because the line hung up (a find: or never opened)
    bool lineErrors = false;        // parity or framing errors were seen on the line
    bool refused = false;           // the programmer's own letter (not '0') ended it
    bool partReply = false;         // 'N': the reply to a frame began but stopped short
    bool stalled = false;           // 'N': a reply began, then no byte came for its gap
    bool heardAnything = false;     // some byte came from the line during the exchange
    bool noFiles = false;           // the directory was empty
    std::string detail;             // why a local failure ('D', 'W') happened
    // 'D' before anything was read or sent: the file's name holds this character.
    std::optional<UnsendableCharacter> unsendable;
    std::vector<DeviceNameField> names;  // the directory listed (List, Receive)
    std::string savedTo;                 // a fetch: the file written
    std::string storedAs;                // a send: the programmer's name of the file
};

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
