// The protocol's rules, a row each, named in plain words: what goes on the line, which
// bytes of a reply are read, thresholds and waits, letters and texts, what is written to
// disk. The rows run against the exchange machine (no line, no clock) and the functions
// behind it. The programmer's replies fill the bytes the PC must not examine with values a
// careless reader would trip over. A row marked "mended" holds our behaviour where the
// program deliberately departs from the protocol's old rule to mend a fault.

#include "exchange/engine/exchange_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/exchange.h"
#include "protocol/escaped_name.h"
#include "support/test_folder.h"

namespace dravolin {
namespace {

using test::bytesOf;

// ---- Replies as a programmer may send them

constexpr std::uint8_t kFree = 0x9C;  // status byte 0: the programmer's own business

Bytes status(char letter) {
    return {kFree, static_cast<std::uint8_t>(letter)};
}

Bytes operator+(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Bytes withCheckByte(Bytes reply) {
    reply.push_back(xorOf(reply));
    return reply;
}

// Bytes 0 to 11 of a directory header and 8 to 15 of an entry: never read.
const Bytes kFreeHeader = bytesOf(std::string("0017\0\xFF-001 X", 12));
const Bytes kFreeEntry = bytesOf(std::string("\0\xFF\x1B[2J\x7F\x80", 8));

Bytes directoryHeader(const std::string& count) {
    return kFreeHeader + bytesOf(count);
}

// A whole directory reply listing `names` (each 8 bytes), check byte and all.
Bytes directory(const std::vector<std::string>& names) {
    Bytes reply = directoryHeader(std::to_string(10000 + names.size()).substr(1));
    for (const std::string& name : names) {
        reply = reply + bytesOf(name) + kFreeEntry;
    }
    return withCheckByte(reply);
}

// A name of Latin-1, a control and a NUL, as a programmer may hold one.
const std::string kOddName("A\xE4\x1B\0    ", 8);

// TAG00001 to TAG0000n.
std::vector<std::string> tags(int count) {
    std::vector<std::string> names;
    for (int n = 1; n <= count; ++n) {
        names.push_back("TAG" + std::to_string(100000 + n).substr(1));
    }
    return names;
}

// A tag-data file whose header bytes 0 to 3 no reader may touch.
Bytes tagFile(const std::string& data) {
    return bytesOf(test::tagDataFile(data, std::string("\0\xFF\x1B\x80", 4)));
}

// ---- Events in

using Event = std::function<MachineActions(ExchangeMachine&)>;

Event rx(Bytes bytes) {
    return [bytes](ExchangeMachine& machine) { return machine.received(bytes); };
}
const Event ok = rx(status('0'));
const Event timeOut = [](ExchangeMachine& machine) { return machine.timedOut(); };
const Event cancel = [](ExchangeMachine& machine) { return machine.cancel(); };
const Event hangUp = [](ExchangeMachine& machine) { return machine.hungUp(); };
const Event saved = [](ExchangeMachine& machine) { return machine.saved(); };
const Event stalled = [](ExchangeMachine& machine) { return machine.replyStalled(); };
const Event lineErrors = [](ExchangeMachine& machine) { return machine.lineErrorsSeen(); };
const Event noPort = [](ExchangeMachine& machine) { return machine.linkFailed(); };
Event choose(int index) {
    return [index](ExchangeMachine& machine) { return machine.entryChosen(index); };
}
Event answer(std::optional<std::string> path) {
    return [path](ExchangeMachine& machine) { return machine.fileChosen(path); };
}
Event loaded(Bytes bytes) {
    return [bytes](ExchangeMachine& machine) { return machine.fileLoaded(bytes); };
}
Event failure(std::string reason) {
    return [reason](ExchangeMachine& machine) { return machine.localFailure(reason); };
}
Event endAt(ExchangeOutcome::Ending ending) {
    return [ending](ExchangeMachine& machine) { return machine.endAtListing(ending); };
}

// ---- Actions out, as words

std::string hex(const Bytes& bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += (text.empty() ? "" : " ") + std::string(digits);
    }
    return text;
}

std::string endWord(const ExchangeOutcome& outcome) {
    using Ending = ExchangeOutcome::Ending;
    std::string word =
        outcome.cancelled() ? "end cancelled" : "end " + shownStatusLetter(outcome.letter());
    const std::pair<Ending, const char*> endings[] = {
        {Ending::NothingChosen, " quiet"}, {Ending::TimedOut, " timeout"},
        {Ending::Gone, " gone"},           {Ending::NoFiles, " nofiles"},
        {Ending::ShortReply, " part"},     {Ending::Stalled, " stalled"},
        {Ending::Refused, " refused"}};
    for (const auto& [ending, name] : endings) {
        word += outcome.ending == ending ? name : "";
    }
    word += outcome.reason.empty() ? "" : " detail";
    word += outcome.unsendable ? " unsendable" : "";
    word += outcome.heard == ExchangeOutcome::Heard::LineErrors ? " errors" : "";
    word += outcome.savedTo.empty() ? "" : " saved " + outcome.savedTo;
    word += outcome.storedAs.empty() ? "" : " stored " + escapedName(outcome.storedAs);
    return word;
}

std::string word(const MachineAction& action) {
    using Kind = MachineAction::Kind;
    switch (action.kind) {
        case Kind::OpenLink:
            return "open";
        case Kind::CloseLink:
            return "close";
        case Kind::Send:
            return "send " + hex(action.bytes);
        case Kind::ArmWait:
            return "wait " + std::to_string(action.threshold) + "/" +
                   std::to_string(action.milliseconds);
        case Kind::ArmStall:
            return "stall " + std::to_string(action.milliseconds);
        case Kind::AskFile:
            return action.save ? "ask save " + action.path : "ask open";
        case Kind::LoadFile:
            return "load " + action.path;
        case Kind::Save:
            return "save " + action.path + " " + hex(action.bytes) +
                   (action.keepExisting ? " keep" : "");
        case Kind::ListNames: {
            std::string names;
            for (const DeviceNameField& name : action.names) {
                names += (names.empty() ? "" : ",") + escapedName(nameOf(name));
            }
            // A long list by its first and last names.
            const std::size_t last = names.rfind(',');
            return "list " + (action.names.size() > 4
                                  ? names.substr(0, names.find(',')) + ",..." + names.substr(last)
                                  : names);
        }
        case Kind::End:
            return endWord(action.outcome);
        case Kind::DisarmWait:
        case Kind::Progress:
            break;
    }
    return {};
}

// ---- Rows

struct Row {
    std::string rule;
    std::vector<Event> events;  // after the start
    std::string actions;        // the words of every action but disarming and progress
};

const LineTiming kLine{9600, 'E', 1};

ExchangeRequest requestOf(ExchangeRequest::Kind kind, const LineTiming& line = kLine,
                          const std::string& path = "") {
    return {.kind = kind, .line = line, .path = path};
}

// The words of the actions. Whatever the row, nothing goes on the line after the one end,
// and the link is closed by then.
std::string run(const ExchangeRequest& request, const std::vector<Event>& events) {
    ExchangeMachine machine;
    std::string words;
    bool ended = false;
    bool linkOpen = false;
    bool stallArmed = false;
    auto note = [&](const MachineActions& actions) {
        for (const MachineAction& action : actions) {
            using Kind = MachineAction::Kind;
            EXPECT_FALSE(ended && (action.kind == Kind::Send || action.kind == Kind::End ||
                                   action.kind == Kind::ArmStall))
                << word(action) << " after the end";
            linkOpen =
                (linkOpen || action.kind == Kind::OpenLink) && action.kind != Kind::CloseLink;
            ended = ended || action.kind == Kind::End;
            // The stall rule is said where a wait first arms it; every later run re-arms it.
            const bool rearmed = action.kind == Kind::ArmStall && stallArmed;
            stallArmed =
                action.kind == Kind::ArmStall || (stallArmed && action.kind != Kind::ArmWait);
            if (const std::string said = word(action); !said.empty() && !rearmed) {
                words += (words.empty() ? "" : ", ") + said;
            }
        }
    };
    note(machine.start(request));
    for (const Event& event : events) {
        note(event(machine));
    }
    EXPECT_TRUE(!ended || !linkOpen) << "the link outlives the exchange";
    return words;
}

std::vector<Event> then(std::vector<Event> head, const std::vector<Event>& rest) {
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

// The words of a reply, a cancel or a hang-up that ends a wait, and of its time-out.
const std::string kEnds = ", close, end ";
const std::string kSilence = ", close, end N timeout";
// A reply to a frame that began and stopped short, whether its wait or its stall ended it.
const std::string kCutShort = ", close, end N part";

// The rows, and in each of the `waits`: silence, a cancel and a hang-up.
void checkRows(const ExchangeRequest& request, std::vector<Row> rows,
               const std::vector<Row>& waits = {}) {
    for (const Row& wait : waits) {
        rows.push_back(
            {"every phase that times out closes the link and ends with 'N': " + wait.rule,
             then(wait.events, {timeOut}), wait.actions + kSilence});
        rows.push_back({"cancel ends the exchange at once: " + wait.rule,
                        then(wait.events, {cancel}), wait.actions + kEnds + "cancelled"});
        rows.push_back({"a line that hangs up ends it with 'N' at once: " + wait.rule,
                        then(wait.events, {hangUp}), wait.actions + kEnds + "N gone"});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        EXPECT_EQ(run(request, row.events), row.actions);
    }
}

// ---- The directory

// 'D', then the count read from bytes 12 to 15, the entries of 16 bytes and the check byte.
const std::string kAsked = "open, send 44 44, wait 2/1000";
const std::string kHeader = kAsked + ", send 02, wait 16/1000";
const std::string kTwo = kHeader + ", wait 49/1200";
const std::string kListed = kTwo + ", list TAG00001,TAG00002, close";

TEST(Conformance, DirectoryRules) {
    const Bytes two = directory(tags(2));
    Bytes damaged = two;
    damaged.back() ^= 0x01;
    std::vector<Row> rows = {
        {"the directory request is always 44 44; the names are listed in the order sent",
         {ok, rx(two)},
         kListed},
        {"a reply in pieces is taken once it is whole; ours: each piece short of it arms the "
         "stall rule anew",
         {rx({kFree}), rx({'0'}), rx(Bytes(two.begin(), two.begin() + 20)),
          rx(Bytes(two.begin() + 20, two.end()))},
         kAsked + ", stall 1000, send 02, wait 16/1000, wait 49/1200, stall 1000, list "
                  "TAG00001,TAG00002, close"},
        {"bytes after the status reply are no part of the directory: the go-ahead resets",
         {rx(status('0') + bytesOf("JUNK")), rx(two)},
         kListed},
        {"any status letter other than '0' ends the exchange with it",
         {rx(status('V'))},
         kAsked + kEnds + "V refused"},
        {"... printable or not", {rx({'0', 0x07})}, kAsked + kEnds + "0x07 refused"},
        {"... also one the PC raises itself", {rx(status('N'))}, kAsked + kEnds + "N refused"},
        {"the count reads as strtol reads it: letters read as 0, no files",
         {ok, rx(directoryHeader("ABCD"))},
         kHeader + kEnds + "0 nofiles"},
        {"an empty directory ends with '0' and the no-files box",
         {ok, rx(directoryHeader("0000"))},
         kHeader + kEnds + "0 nofiles"},
        {"3 entries: the third phase waits for 65 bytes, 1800 ms",
         {ok, rx(directory(tags(3)))},
         kHeader + ", wait 65/1800, list TAG00001,TAG00002,TAG00003, close"},
        {"names are the eight bytes as sent, shown as names are (up to a NUL)",
         {ok, rx(directory({kOddName}))},
         kHeader + ", wait 33/600, list A\u00e4\\x1b, close"},
        {"the check byte covers the whole reply from the first byte after the go-ahead",
         {ok, rx(damaged)},
         kTwo + kEnds + "B"},
        {"a reply that stops short ends with 'N' at its time-out, naming the line settings",
         {ok, rx(Bytes(15, ' ')), timeOut},
         kHeader + ", stall 1000" + kCutShort},
        {"... also a status reply of one byte",
         {rx({'0'}), timeOut},
         kAsked + ", stall 1000" + kCutShort},
        {"ours: ... or once no byte came for the stall gap, a second here",
         {ok, rx(Bytes(15, ' ')), stalled},
         kHeader + ", stall 1000" + kEnds + "N part"},
        {"ours: silence before a reply begins is no stall: the wait runs out",
         {stalled, timeOut},
         kAsked + kSilence},
        {"cancel at the choice ends it", {ok, rx(two), cancel}, kListed + ", end cancelled"},
        {"a hang-up after the listing changes nothing", {ok, rx(two), hangUp, timeOut}, kListed},
        {"a program ends at the listing with its letter",
         {ok, rx(two), endAt(ExchangeOutcome::Ending::NotHeld)},
         kListed + ", end R"},
        {"a port that cannot be opened: the first phase times out with 'N'",
         {noPort, timeOut},
         kAsked + kSilence},
        {"line errors are told with the outcome, not waited on",
         {lineErrors, rx(status('V'))},
         kAsked + kEnds + "V refused errors"},
        {"mended: more than 15 entries end with 'W'; the list holds 15",
         {ok, rx(directoryHeader("0016"))},
         kHeader + kEnds + "W detail"},
        {"mended: a negative count ends with 'W'",
         {ok, rx(directoryHeader("-001"))},
         kHeader + kEnds + "W detail"},
    };
    for (const std::uint8_t free : {0x00, 0x06, 0x30, 0x78, 0xFF}) {
        rows.push_back({"status byte 0 is never examined: " + hex({free}),
                        {rx({free, '0'}), rx(two)},
                        kListed});
    }
    checkRows(requestOf(ExchangeRequest::Kind::Receive), rows,
              {{"status", {}, kAsked},
               {"header", {ok}, kHeader},
               {"entries", {ok, rx(directoryHeader("0002"))}, kTwo + ", stall 1000"}});
    checkRows(requestOf(ExchangeRequest::Kind::List),
              {{"a listing alone ends with '0'", {ok, rx(two)}, kListed + ", end 0"}});
    ExchangeRequest get = requestOf(ExchangeRequest::Kind::Receive);
    get.wantedName = "TAG00003";
    checkRows(get, {{"ours: a program's get finds its name missing in an empty directory: 'R'",
                     {ok, rx(directoryHeader("0000"))},
                     kHeader + kEnds + "R"}});
}

// ---- The fetch

TEST(Conformance, FetchRules) {
    const Bytes reply = withCheckByte(tagFile("hello"));
    Bytes damaged = reply;
    damaged[9] ^= 0x40;
    const std::vector<Event> toChoice = {ok, rx(directory(tags(2))), choose(1)};
    const std::vector<Event> toFetch = then(toChoice, {answer("/t.tiv")});
    const std::string chosen = kListed + ", ask save TAG00002, ";
    const std::string asked = chosen + "open, send 47 54 41 47 30 30 30 30 32 27, wait 2/1000";
    const std::string header = asked + ", send 02, wait 8/1000";
    const std::string data = header + ", wait 14/300";
    const std::string written =
        data + ", close, save /t.tiv 00 FF 1B 80 30 30 30 35 68 65 6C 6C 6F";
    checkRows(
        requestOf(ExchangeRequest::Kind::Receive),
        {
            {"a fetch asks for the name as listed; the file written is the reply without its "
             "check byte, header bytes 0 to 3 as sent",
             then(toFetch, {ok, rx(reply), saved}), written + ", end 0 saved /t.tiv"},
            {"status byte 0 is never examined", then(toFetch, {rx({0xFF, '0'}), rx(reply), saved}),
             written + ", end 0 saved /t.tiv"},
            {"a refused fetch ends with the letter, the link closed after it",
             then(toFetch, {rx(status('R'))}), asked + ", end R refused, close"},
            {"mended: len 0 waits for 9 bytes for 102 ms, not 50 ms; an 8-byte file is written",
             then(toFetch, {ok, rx(withCheckByte(tagFile("")))}),
             header + ", wait 9/102, close, save /t.tiv 00 FF 1B 80 30 30 30 30"},
            {"a reply that fails its check byte ends with 'B'; nothing is written",
             then(toFetch, {ok, rx(damaged)}), data + kEnds + "B"},
            {"a file that cannot be written ends with 'D'",
             then(toFetch, {ok, rx(reply), failure("read-only")}), written + ", end D detail"},
            {"a header that stops short ends with 'N'",
             then(toFetch, {ok, rx(bytesOf("\xFF\xFF")), timeOut}),
             header + ", stall 1000" + kCutShort},
            {"ours: a file reply that stops part-way ends with 'N' once no byte came for a "
             "second, not after its whole time-out",
             then(toFetch, {ok, rx(bytesOf("HD019999") + Bytes(92, 'd')), stalled}),
             header + ", wait 10008/500000, stall 1000" + kEnds + "N stalled"},
            {"mended: a length outside 0 to 9999 ends with 'W'",
             then(toFetch, {ok, rx(bytesOf("HD01-001"))}), header + kEnds + "W detail"},
            {"ours: the save dialog cancelled ends quietly, nothing fetched",
             then(toChoice, {answer(std::nullopt)}), chosen + "end cancelled quiet"},
            {"a fetch asks for the eight bytes of the entry exactly as listed",
             {ok, rx(directory({kOddName})), choose(0), answer("/o.tiv")},
             kHeader +
                 ", wait 33/600, list A\u00e4\\x1b, close, ask save A\xE4\x1B, open, send 47 41 E4 "
                 "1B 00 20 20 20 20 F9, wait 2/1000"},
            {"a choice outside the list is no choice",
             {ok, rx(directory(tags(2))), choose(2), choose(-1),
              endAt(ExchangeOutcome::Ending::Success)},
             kListed + ", end 0"},
            {"cancel in the save dialog ends it; nothing is fetched",
             then(toChoice, {cancel, answer("/t.tiv")}), chosen + "end cancelled"},
            {"cancel while saving comes too late", then(toFetch, {ok, rx(reply), cancel, saved}),
             written + ", end 0 saved /t.tiv"},
        },
        {{"status", toFetch, asked},
         {"header", then(toFetch, {ok}), header},
         {"data", then(toFetch, {ok, rx(bytesOf("HD010005"))}), data + ", stall 1000"}});
    ExchangeRequest direct = requestOf(ExchangeRequest::Kind::Fetch, kLine, "/b/TAG00002.tiv");
    std::ranges::copy(std::string_view("TAG00002"), direct.name.begin());
    direct.keepExisting = true;
    checkRows(direct, {{"a run's fetch asks nothing and keeps what exists",
                        {ok, rx(reply), saved},
                        "open, send 47 54 41 47 30 30 30 30 32 27, wait 2/1000, send 02, wait "
                        "8/1000, wait 14/300, close, save /b/TAG00002.tiv 00 FF 1B 80 30 30 30 "
                        "35 68 65 6C 6C 6F keep, end 0 saved /b/TAG00002.tiv"}});
}

// ---- The send

TEST(Conformance, SendRules) {
    const Bytes file = tagFile("data");
    const std::vector<Event> toAnnounce = {answer("/d/Tür.tiv"), loaded(file + bytesOf("xy"))};
    const std::string chosen = "ask open, load /d/Tür.tiv";
    const std::string announced =
        chosen + ", open, send 54 54 FC 72 20 20 20 20 20 00 FF 1B 80 30 30 30 34 CE, wait 2/1000";
    const std::string sent = announced + ", send 02 64 61 74 61 12, wait 2/110";
    checkRows(
        requestOf(ExchangeRequest::Kind::Send),
        {
            {"the announcement is 'T', the name in Latin-1 padded with spaces, file bytes 0 "
             "to 7 and the check byte; the data frame is STX, len data bytes and the check "
             "byte, bytes beyond len stay home",
             then(toAnnounce, {ok, ok}), sent + kEnds + "0 stored Tür"},
            {"status byte 0 is never examined",
             then(toAnnounce, {rx({0x00, '0'}), rx({0x78, '0'})}), sent + kEnds + "0 stored Tür"},
            {"a refused announcement ends with its letter; no data goes out",
             then(toAnnounce, {rx(status('S'))}), announced + kEnds + "S refused"},
            {"the data's status letter ends the exchange with it",
             then(toAnnounce, {ok, rx({0xFF, 'X'})}), sent + kEnds + "X refused"},
            {"the open dialog cancelled: nothing is sent",
             {answer(std::nullopt)},
             "ask open, end cancelled quiet"},
            {"cancel in the dialog", {cancel}, "ask open, end cancelled"},
            {"cancel while the file is read ends it; nothing is sent",
             {answer("/d/A.tiv"), cancel, loaded(file)},
             "ask open, load /d/A.tiv, end cancelled"},
            {"a file that cannot be read ends with 'D'",
             {answer("/d/A.tiv"), failure("no such file")},
             "ask open, load /d/A.tiv, end D detail"},
            {"mended: a file shorter than its header announces ends with 'D', nothing sent",
             {answer("/d/A.tiv"), loaded(Bytes(file.begin(), file.end() - 1))},
             "ask open, load /d/A.tiv, end D detail"},
            {"mended: a name Latin-1 lacks is refused with 'D' before the file is read",
             {answer("/d/Euro€.tiv")},
             "ask open, end D unsendable"},
            {"a data status that stops short ends with 'N'",
             then(toAnnounce, {ok, rx({'0'}), timeOut}), sent + ", stall 1000" + kCutShort},
            {"late events after the end change nothing",
             then(toAnnounce, {timeOut, timeOut, ok, cancel, saved}), announced + kSilence},
        },
        {{"announcement", toAnnounce, announced}, {"data", then(toAnnounce, {ok}), sent}});
    const ExchangeRequest empty = requestOf(ExchangeRequest::Kind::Send, kLine, "/d/ZERO.tiv");
    checkRows(empty, {{"a file of length 0000 sends the data frame 02 02; mended: its status "
                       "waits 105 ms, not 0",
                       {loaded(bytesOf("abcd0000")), ok, ok},
                       "load /d/ZERO.tiv, open, send 54 5A 45 52 4F 20 20 20 20 61 62 63 64 30 "
                       "30 30 30 52, wait 2/1000, send 02 02, wait 2/105, close, end 0 stored "
                       "ZERO"}});
}

// ---- One try of the search (ours: the protocol knows no search)

TEST(Conformance, SearchRules) {
    const Bytes two = directory(tags(2));
    Bytes damaged = two;
    damaged.back() ^= 0x01;
    checkRows(
        requestOf(ExchangeRequest::Kind::Find),
        {{"a whole directory with a correct check byte is an answer",
          {ok, rx(two)},
          kListed + ", end 0"},
         {"status byte 0 is never examined", {rx({0x00, '0'}), rx(two)}, kListed + ", end 0"},
         {"more than 15 entries are an answer too",
          {ok, rx(directory(tags(16)))},
          kHeader + ", wait 273/9600, list TAG00001,...,TAG00016, close, end 0"},
         {"a refusal ends the try with its letter",
          {rx(status('X'))},
          kAsked + kEnds + "X refused"},
         {"line errors end the try at once", {lineErrors}, kAsked + kEnds + "N errors"},
         {"... also in the directory", {ok, lineErrors}, kHeader + kEnds + "N errors"},
         {"a device that cannot be opened ends it at once", {noPort}, kAsked + kEnds + "N gone"},
         {"a reply that fails its checks is no answer at all: a negative count",
          {ok, rx(directoryHeader("-001"))},
          kHeader + kEnds + "N"},
         {"... a wrong check byte", {ok, rx(damaged)}, kTwo + kEnds + "N"},
         {"a byte, then silence", {rx({0x66}), timeOut}, kAsked + ", stall 1000" + kCutShort}},
        {{"status", {}, kAsked}});
}

// ---- Waits and progress

// Each armed wait's milliseconds, or each progress report's done and total, in these calls.
std::vector<long> numbersIn(MachineAction::Kind kind, std::initializer_list<MachineActions> calls) {
    std::vector<long> numbers;
    for (const MachineActions& actions : calls) {
        for (const MachineAction& action : actions) {
            if (action.kind == kind && kind == MachineAction::Kind::ArmWait) {
                numbers.push_back(action.milliseconds);
            } else if (action.kind == kind) {
                numbers.insert(numbers.end(), {long(action.done), long(action.total)});
            }
        }
    }
    return numbers;
}

// Mended: every wait is at least the protocol's time-out for its phase and long enough for
// the frame and the reply on the line (docs/waits.md; the rows show them at 9600 8E1, the
// waits' own table at every rate). A search's first pass waits for the line time only.
TEST(Conformance, ASearchFirstWaitsForTheLineTimeOnly) {
    for (const int baud : {9600, 57600}) {
        const LineTiming line{baud, 'E', 1};
        ExchangeRequest find = requestOf(ExchangeRequest::Kind::Find, line);
        find.shortFirstWait = true;
        ExchangeMachine m;
        EXPECT_EQ(numbersIn(MachineAction::Kind::ArmWait, {m.start(find)}),
                  (std::vector<long>{replyWaitMs(0, 2, 2, line)}));
        EXPECT_LT(replyWaitMs(0, 2, 2, line), statusWaitMs(2, line));
    }
}

// Bytes done and the total, each report: the file's own bytes, header and data.
TEST(Conformance, ProgressCountsTheFileBytesBothWaysAndEndsAtTheWhole) {
    const Bytes reply = withCheckByte(tagFile(std::string(9999, 'd')));
    ExchangeMachine m;
    EXPECT_EQ(numbersIn(MachineAction::Kind::Progress,
                        {m.start(requestOf(ExchangeRequest::Kind::Fetch)), m.received(status('0')),
                         m.received(Bytes(reply.begin(), reply.begin() + 5000)),
                         m.received(Bytes(reply.begin() + 5000, reply.end()))}),
              (std::vector<long>{5000, 10007, 10007, 10007, 10007, 10007}));
    m.saved();
    EXPECT_EQ(numbersIn(MachineAction::Kind::Progress,
                        {m.start(requestOf(ExchangeRequest::Kind::Send, kLine, "/TAG.tiv")),
                         m.fileLoaded(tagFile(std::string(9999, 'd'))), m.received(status('0')),
                         m.frameLeft(4001), m.frameLeft(10001), m.received(Bytes{'0'}),
                         m.received(Bytes{'0'})}),
              (std::vector<long>{8, 10007, 4008, 10007, 10007, 10007, 10007, 10007}));
    // A long directory shows its own progress: the bytes of the whole reply.
    const Bytes fifteen = directory(tags(15));
    const long whole = static_cast<long>(directoryReplyLength(15));
    ASSERT_EQ(whole, static_cast<long>(fifteen.size()));
    EXPECT_EQ(numbersIn(MachineAction::Kind::Progress,
                        {m.start(requestOf(ExchangeRequest::Kind::List)), m.received(status('0')),
                         m.received(Bytes(fifteen.begin(), fifteen.begin() + 100)),
                         m.received(Bytes(fifteen.begin() + 100, fifteen.end()))}),
              (std::vector<long>{100, whole, whole, whole, whole, whole}));
}

// ---- Frames, fields and names

// The device name is protocol/device_name_test's table.
TEST(Conformance, BlockCheckAndDecimalFields) {
    // The check byte is the XOR of every byte before it; of none, 0x00.
    Bytes frame{0x10, 0x32, 0x07, 0xEE};
    EXPECT_EQ(blockCheck(frame, 3), 0x10 ^ 0x32 ^ 0x07);
    EXPECT_EQ(frame, (Bytes{0x10, 0x32, 0x07, 0x10 ^ 0x32 ^ 0x07}));
    Bytes empty{0xAB};
    EXPECT_EQ(blockCheck(empty, 0), 0x00);
    EXPECT_EQ(empty[0], 0x00);
    EXPECT_TRUE(checkByteMatches(frame, 3));
    EXPECT_FALSE(checkByteMatches(frame, frame.size()));  // nothing read past the bytes
    // A field reads as strtol reads base 10 and stops at its end.
    const std::pair<std::string, long> fields[] = {{"0012", 12},   {"  12", 12},  {"12ab", 12},
                                                   {"abcd", 0},    {"-012", -12}, {"+034", 34},
                                                   {"9999", 9999}, {"1 23", 1}};
    for (const auto& [text, value] : fields) {
        EXPECT_EQ(readDecimalField(bytesOf("HDR:" + text + "9tail"), 4, 8), value) << text;
    }
}

// ---- The outcome

TEST(Conformance, OutcomeLettersBoxesTextsAndThePause) {
    const std::pair<char, std::optional<TextId>> boxes[] = {{'B', TextId::BccInterfaceError},
                                                            {'D', TextId::FileOpenError},
                                                            {'N', TextId::DeviceNotResponding},
                                                            {'Q', TextId::CharacterDelay},
                                                            {'R', TextId::FileDoesNotExist},
                                                            {'S', TextId::MemoryFull},
                                                            {'T', TextId::MemoryFullToo},
                                                            {'V', TextId::WrongSettings},
                                                            {'W', TextId::ProtocolFormat},
                                                            {'X', TextId::BccError},
                                                            {'0', std::nullopt},
                                                            {'A', std::nullopt},
                                                            {'\x07', std::nullopt}};
    for (const auto& [letter, box] : boxes) {
        EXPECT_EQ(outcomeBoxText(letter), box) << letter;
    }
    // A letter without a box is named in the status line (ours), by its code when it has no
    // printable form.
    EXPECT_EQ(shownStatusLetter('A'), "A");
    EXPECT_EQ(shownStatusLetter('\x07'), "0x07");
    EXPECT_EQ(shownStatusLetter('\xC4'), "0xC4");
    const MessageCatalog english(Language::English);
    EXPECT_EQ(english.lookup(TextId::MemoryFull), "Voska Programmer memory full!");
    EXPECT_EQ(english.lookup(TextId::MemoryFullToo), english.lookup(TextId::MemoryFull));
    EXPECT_EQ(english.lookup(TextId::WrongSettings),
              "Communication error:\nWrong interface settings!\n(baud rate, parity, data bit, "
              "stop bit");
    EXPECT_EQ(MessageCatalog(Language::German).lookup(TextId::WrongSettings).back(), ')');
    EXPECT_EQ(english.lookup(TextId::StatusDirectoryListed), " Please select file to send");
    EXPECT_EQ(english.lookup(TextId::StatusChooseFileToSend), " Please select file to send");
    EXPECT_EQ(english.lookup(TextId::StatusSuccess), " Data transmission successful");
    EXPECT_EQ(english.lookup(TextId::StatusFailure), " Error - data transmission not successful");
    EXPECT_EQ(english.lookup(TextId::DefaultExtension), "tiv");
    EXPECT_EQ(Exchange::kOutcomePauseMs, 2500);
}

}  // namespace
}  // namespace dravolin
