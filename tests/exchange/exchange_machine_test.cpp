#include "exchange/engine/exchange_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/message_catalog.h"
#include "support/test_folder.h"

namespace dravolin {
namespace {

using test::bytesOf;

// ---- Replies as the programmer sends them

Bytes status(char letter) {
    return {'0', static_cast<std::uint8_t>(letter)};
}

Bytes withCheckByte(Bytes reply) {
    reply.push_back(xorOf(reply));
    return reply;
}

Bytes directoryHeader(const std::string& count) {
    return bytesOf(std::string(12, ' ') + count);
}

// The directory header and `entries` names TAG0000n (up to 9999); without its check byte.
Bytes directoryBody(int entries) {
    std::string reply = std::string(12, ' ') + std::to_string(10000 + entries).substr(1);
    for (int entry = 1; entry <= entries; ++entry) {
        reply += "TAG" + std::to_string(100000 + entry).substr(1) + std::string(8, ' ');
    }
    return bytesOf(reply);
}

Bytes fileHeader(const std::string& length) {
    return bytesOf("TR01" + length);
}

// A tag-data file of `length` data bytes.
Bytes tagFile(int length) {
    return bytesOf(test::tagDataFile(std::string(length, 'd')));
}

// ---- Events in, actions out, as words

// An event is one call on the machine.
using Event = std::function<MachineActions(ExchangeMachine&)>;

Event rx(Bytes bytes) {
    return [bytes](ExchangeMachine& machine) { return machine.received(bytes); };
}
const Event timeOut = [](ExchangeMachine& machine) { return machine.timedOut(); };
const Event cancel = [](ExchangeMachine& machine) { return machine.cancel(); };
const Event hangUp = [](ExchangeMachine& machine) { return machine.hungUp(); };
const Event saved = [](ExchangeMachine& machine) { return machine.saved(); };
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
Event endAt(char letter) {
    return [letter](ExchangeMachine& machine) { return machine.endAtListing(letter); };
}

std::string endWord(const ExchangeOutcome& outcome) {
    std::string word =
        outcome.cancelled ? "end cancelled" : "end " + shownStatusLetter(outcome.letter);
    const std::pair<bool, const char*> flags[] = {{outcome.quiet, " quiet"},
                                                  {outcome.timedOut, " timeout"},
                                                  {outcome.lineGone, " gone"},
                                                  {outcome.noFiles, " nofiles"},
                                                  {outcome.partReply, " part"},
                                                  {outcome.refused, " refused"},
                                                  {!outcome.detail.empty(), " detail"},
                                                  {outcome.lineErrors, " errors"}};
    for (const auto& [set, flag] : flags) {
        word += set ? flag : "";
    }
    word += outcome.savedTo.empty() ? "" : " saved " + outcome.savedTo;
    word += outcome.storedAs.empty() ? "" : " stored " + outcome.storedAs;
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
            return "send " +
                   (action.bytes[0] == kStx ? "STX" : std::string(1, char(action.bytes[0]))) + "/" +
                   std::to_string(action.bytes.size());
        case Kind::ArmWait:
            return "wait " + std::to_string(action.threshold);
        case Kind::DisarmWait:
            return "disarm";
        case Kind::AskFile:
            return action.save ? "ask save " + action.path : "ask open";
        case Kind::LoadFile:
            return "load " + action.path;
        case Kind::Save:
            return "save " + action.path + "/" + std::to_string(action.bytes.size()) +
                   (action.keepExisting ? " keep" : "");
        case Kind::ListNames:
            return "list " + std::to_string(action.names.size());
        case Kind::Progress:
            return "progress";
        case Kind::End:
            return endWord(action.outcome);
    }
    return "?";
}

// A row: the events fed after the start, and the words of every action but progress.
struct Row {
    std::string name;
    std::vector<Event> events;
    std::string actions;
};

const LineTiming kLine{9600, 'E', 1};

std::string run(const ExchangeRequest& request, const std::vector<Event>& events) {
    ExchangeMachine machine;
    std::string words;
    auto note = [&words](const MachineActions& actions) {
        for (const MachineAction& action : actions) {
            if (action.kind != MachineAction::Kind::Progress) {
                words += (words.empty() ? "" : ", ") + word(action);
            }
        }
    };
    note(machine.start(request));
    for (const Event& event : events) {
        note(event(machine));
    }
    return words;
}

std::vector<Event> then(std::vector<Event> head, const std::vector<Event>& rest) {
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

// The words of a reply, a cancel or a hang-up that ends a wait, and of its time-out.
const std::string kEnds = ", disarm, close, end ";
const std::string kSilence = ", close, end N timeout";

// The rows, and silence, a cancel and a hang-up in each of the `waits`.
void checkTable(const ExchangeRequest& request, std::vector<Row> rows,
                const std::vector<Row>& waits = {}) {
    for (const Row& wait : waits) {
        rows.push_back(
            {wait.name + ": silence", then(wait.events, {timeOut}), wait.actions + kSilence});
        rows.push_back({wait.name + ": cancel", then(wait.events, {cancel}),
                        wait.actions + kEnds + "cancelled"});
        rows.push_back({wait.name + ": hang-up", then(wait.events, {hangUp}),
                        wait.actions + kEnds + "N gone"});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(run(request, row.events), row.actions);
    }
}

ExchangeRequest requestOf(ExchangeRequest::Kind kind, const LineTiming& line = kLine,
                          const std::string& path = "") {
    return {.kind = kind, .line = line, .path = path};
}

const Event ok = rx(status('0'));

// ---- The directory

TEST(ExchangeMachine, DirectoryTableEveryReplyTimeOutCancelAndHangUp) {
    const Bytes two = withCheckByte(directoryBody(2));
    Bytes damaged = two;
    damaged.back() ^= 0x01;
    const Event entries = rx(directoryBody(2));
    const std::string asked = "open, send D/2, wait 2";
    const std::string header = asked + ", disarm, send STX/1, wait 16";
    const std::string body = header + ", disarm, wait 49";
    const std::string listed = body + ", disarm, list 2, close";
    checkTable(
        requestOf(ExchangeRequest::Kind::Receive),
        {
            {"listed", {ok, entries, rx({two.back()})}, listed},
            {"whole reply in one run", {ok, rx(two)}, listed},
            {"refused", {rx(status('V'))}, asked + kEnds + "V refused"},
            {"any letter", {rx(status('A'))}, asked + kEnds + "A refused"},
            {"a letter with no printable form", {rx({0xF8, 0x07})}, asked + kEnds + "0x07 refused"},
            {"byte 0 is the programmer's own", {rx({0xFF, '0'}), rx(two)}, listed},
            {"short status", {rx({'0'}), timeOut}, asked + kSilence + " part"},
            {"short header", {ok, rx(Bytes(15, ' ')), timeOut}, header + kSilence + " part"},
            {"16 entries", {ok, rx(directoryHeader("0016"))}, header + kEnds + "W detail"},
            {"negative count", {ok, rx(directoryHeader("-001"))}, header + kEnds + "W detail"},
            {"letters for a count",
             {ok, rx(directoryHeader("ABCD"))},
             header + kEnds + "0 nofiles"},
            {"empty", {ok, rx(directoryHeader("0000"))}, header + kEnds + "0 nofiles"},
            {"damaged", {ok, rx(damaged)}, body + kEnds + "B"},
            {"cancel at the choice", {ok, rx(two), cancel}, listed + ", end cancelled"},
            {"hang-up after the list is nothing", {ok, rx(two), hangUp, timeOut}, listed},
            {"a program ends at the listing", {ok, rx(two), endAt('R')}, listed + ", end R"},
            {"no port: the wait goes on to its 'N'", {noPort, timeOut}, asked + kSilence},
            {"line errors are told, not waited on",
             {lineErrors, rx(status('V'))},
             asked + kEnds + "V refused errors"},
        },
        {{"status", {}, asked}, {"header", {ok}, header}, {"entries", {ok, entries}, body}});
    checkTable(requestOf(ExchangeRequest::Kind::List),
               {{"a listing alone", {ok, rx(two)}, listed + ", end 0"}});
    // A try of the search moves on at line errors, and a reply that fails its checks is no
    // reply at all; the device's own letters stand.
    const Bytes sixteen = withCheckByte(directoryBody(16));
    checkTable(requestOf(ExchangeRequest::Kind::Find),
               {{"found", {ok, rx(two)}, listed + ", end 0"},
                {"found holding 16",
                 {ok, rx(sixteen)},
                 header + ", disarm, wait 273, disarm, list 16, close, end 0"},
                {"refused", {rx(status('V'))}, asked + kEnds + "V refused"},
                {"a byte, then silence", {rx({0x66}), timeOut}, asked + kSilence + " part"},
                {"no port", {noPort}, asked + kEnds + "N gone"},
                {"line errors", {lineErrors}, asked + kEnds + "N errors"},
                {"line errors in the directory", {ok, lineErrors}, header + kEnds + "N errors"},
                {"negative count", {ok, rx(directoryHeader("-001"))}, header + kEnds + "N"},
                {"damaged", {ok, rx(damaged)}, body + kEnds + "N"}},
               {{"status", {}, asked}, {"entries", {ok, entries}, body}});
}

// ---- The fetch

TEST(ExchangeMachine, FetchTableEveryReplyTimeOutCancelHangUpAndSave) {
    const Bytes reply = withCheckByte(tagFile(100));
    Bytes damaged = reply;
    damaged[20] ^= 0x40;
    const std::vector<Event> toListing = {ok, rx(withCheckByte(directoryBody(2)))};
    const std::vector<Event> toChoice = then(toListing, {choose(1)});
    const std::vector<Event> toFetch = then(toChoice, {answer("/t.tiv")});
    const Event header = rx(fileHeader("0100"));
    const std::string listed =
        "open, send D/2, wait 2, disarm, send STX/1, wait 16, disarm, wait 49, disarm, list 2, "
        "close";
    const std::string listing = listed + ", ask save TAG00002, ";
    const std::string fetch = "open, send G/10, wait 2";
    const std::string toHeader = fetch + ", disarm, send STX/1, wait 8";
    const std::string data = toHeader + ", disarm, wait 109";
    checkTable(
        requestOf(ExchangeRequest::Kind::Receive),
        {
            {"saved", then(toFetch, {ok, rx(reply), saved}),
             listing + data + ", disarm, close, save /t.tiv/108, end 0 saved /t.tiv"},
            {"save dialog cancelled", then(toChoice, {answer(std::nullopt)}),
             listing + "end cancelled quiet"},
            {"no such entry", then(toListing, {choose(2), choose(-1), endAt('0')}),
             listed + ", end 0"},
            {"refused", then(toFetch, {rx(status('R'))}),
             listing + fetch + ", disarm, end R refused, close"},
            {"no header", then(toFetch, {ok, rx(fileHeader("01")), timeOut}),
             listing + toHeader + kSilence + " part"},
            {"negative length", then(toFetch, {ok, rx(fileHeader("-001"))}),
             listing + toHeader + kEnds + "W detail"},
            {"damaged", then(toFetch, {ok, rx(damaged)}), listing + data + kEnds + "B"},
            {"not saved", then(toFetch, {ok, rx(reply), failure("read-only")}),
             listing + data + ", disarm, close, save /t.tiv/108, end D detail"},
            {"cancel while saving is too late", then(toFetch, {ok, rx(reply), cancel, saved}),
             listing + data + ", disarm, close, save /t.tiv/108, end 0 saved /t.tiv"},
        },
        {{"status", toFetch, listing + fetch},
         {"header", then(toFetch, {ok}), listing + toHeader},
         {"data", then(toFetch, {ok, header}), listing + data}});
    ExchangeRequest direct = requestOf(ExchangeRequest::Kind::Fetch, kLine, "/b/TAG00001.tiv");
    std::ranges::copy(std::string_view("TAG00001"), direct.name.begin());
    direct.keepExisting = true;
    checkTable(direct, {{"a run's fetch, keeping what exists",
                         {ok, rx(reply), saved},
                         data + ", disarm, close, save /b/TAG00001.tiv/108 keep, "
                                "end 0 saved /b/TAG00001.tiv"}});
}

// ---- The send

TEST(ExchangeMachine, SendTableEveryReplyTimeOutCancelHangUpAndFile) {
    const Bytes file = tagFile(12);
    Bytes longer = file;
    longer.insert(longer.end(), {'x', 'y'});
    const Event pick = answer("/d/TAG00017.tiv");
    const std::vector<Event> loadedFile = {pick, loaded(file)};
    const std::string chosen = "ask open, load /d/TAG00017.tiv";
    const std::string announced = chosen + ", open, send T/18, wait 2";
    const std::string sent = announced + ", disarm, send STX/14, wait 2";
    checkTable(
        requestOf(ExchangeRequest::Kind::Send),
        {
            {"stored", then(loadedFile, {ok, ok}), sent + kEnds + "0 stored TAG00017"},
            {"bytes beyond the length stay home",
             {pick, loaded(longer), ok, ok},
             sent + kEnds + "0 stored TAG00017"},
            {"open dialog cancelled", {answer(std::nullopt)}, "ask open, end cancelled quiet"},
            {"unreadable", {pick, failure("no such file")}, chosen + ", end D detail"},
            {"shorter than announced",
             {pick, loaded(Bytes(file.begin(), file.end() - 1))},
             chosen + ", end D detail"},
            {"no header", {pick, loaded(Bytes{'T', 'R'})}, chosen + ", end D detail"},
            {"memory full", then(loadedFile, {rx(status('S'))}), announced + kEnds + "S refused"},
            {"data refused", then(loadedFile, {ok, rx(status('X'))}), sent + kEnds + "X refused"},
            {"no data status", then(loadedFile, {ok, rx({'0'}), timeOut}),
             sent + kSilence + " part"},
            {"cancel in the dialog", {cancel}, "ask open, end cancelled"},
            {"late events after the end", then(loadedFile, {timeOut, timeOut, ok, cancel, saved}),
             announced + kSilence},
        },
        {{"announcement", loadedFile, announced}, {"data", then(loadedFile, {ok}), sent}});
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

TEST(ExchangeMachine, WaitsAreTheLineTimedWaitsForEveryRateAndSize) {
    for (const int baud : {9600, 19200, 38400, 57600}) {
        for (const char parity : {'N', 'E', 'O'}) {
            for (const int stopBits : {1, 2}) {
                const LineTiming line{baud, parity, stopBits};
                for (const int length : {0, 1, 100, 9999}) {
                    SCOPED_TRACE(std::to_string(baud) + parity + std::to_string(stopBits) + " " +
                                 std::to_string(length));
                    ExchangeMachine m;
                    EXPECT_EQ(
                        numbersIn(
                            MachineAction::Kind::ArmWait,
                            {m.start(requestOf(ExchangeRequest::Kind::Fetch, line)),
                             m.received(status('0')), m.received(tagFile(length)), m.timedOut(),
                             m.start(requestOf(ExchangeRequest::Kind::Send, line, "/TAG.tiv")),
                             m.fileLoaded(tagFile(length)), m.received(status('0')), m.timedOut(),
                             m.start(requestOf(ExchangeRequest::Kind::List, line)),
                             m.received(status('0')), m.received(directoryBody(15)), m.timedOut()}),
                        (std::vector<long>{statusWaitMs(10, line), fileHeaderWaitMs(line),
                                           fileDataWaitMs(length, line), statusWaitMs(18, line),
                                           dataStatusWaitMs(length, line), statusWaitMs(2, line),
                                           directoryHeaderWaitMs(line),
                                           directoryEntriesWaitMs(15, line)}));
                }
                // A search's first pass waits for the frame's and the reply's line time only.
                ExchangeRequest find = requestOf(ExchangeRequest::Kind::Find, line);
                find.shortFirstWait = true;
                ExchangeMachine m;
                EXPECT_EQ(numbersIn(MachineAction::Kind::ArmWait, {m.start(find)}),
                          (std::vector<long>{replyWaitMs(0, 2, 2, line)}));
                EXPECT_LT(replyWaitMs(0, 2, 2, line), statusWaitMs(2, line));
            }
        }
    }
    // The longest fetch at the slowest rate keeps the old 50 ms a byte.
    EXPECT_EQ(fileDataWaitMs(9999, kLine), 50 * 9999 + 50);
}

// Bytes done and the total, each report: the file's own bytes, header and data.
TEST(ExchangeMachine, ProgressCountsTheFileBytesBothWaysAndEndsAtTheWhole) {
    const Bytes reply = withCheckByte(tagFile(9999));
    ExchangeMachine m;
    EXPECT_EQ(numbersIn(MachineAction::Kind::Progress,
                        {m.start(requestOf(ExchangeRequest::Kind::Fetch)), m.received(status('0')),
                         m.received(Bytes(reply.begin(), reply.begin() + 5000)),
                         m.received(Bytes(reply.begin() + 5000, reply.end()))}),
              (std::vector<long>{5000, 10007, 10007, 10007, 10007, 10007}));
    m.saved();
    EXPECT_EQ(numbersIn(MachineAction::Kind::Progress,
                        {m.start(requestOf(ExchangeRequest::Kind::Send, kLine, "/TAG.tiv")),
                         m.fileLoaded(tagFile(9999)), m.received(status('0')), m.frameLeft(4001),
                         m.frameLeft(10001), m.received(Bytes{'0'}), m.received(Bytes{'0'})}),
              (std::vector<long>{8, 10007, 4008, 10007, 10007, 10007, 10007, 10007}));
    // A long directory shows its own progress: the bytes of the whole reply.
    const Bytes directory = withCheckByte(directoryBody(15));
    const long whole = static_cast<long>(directoryReplyLength(15));
    ASSERT_EQ(whole, static_cast<long>(directory.size()));
    EXPECT_EQ(numbersIn(MachineAction::Kind::Progress,
                        {m.start(requestOf(ExchangeRequest::Kind::List)), m.received(status('0')),
                         m.received(Bytes(directory.begin(), directory.begin() + 100)),
                         m.received(Bytes(directory.begin() + 100, directory.end()))}),
              (std::vector<long>{100, whole, whole, whole, whole, whole}));
}

}  // namespace
}  // namespace dravolin
