#include "exchange/engine/exchange_machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dravolin {
namespace {

// ---- Replies as the programmer sends them

Bytes status(char letter) {
    return {'0', static_cast<std::uint8_t>(letter)};
}

Bytes withCheckByte(Bytes reply) {
    reply.push_back(xorOf(reply));
    return reply;
}

Bytes directoryHeader(const std::string& count) {
    Bytes header(12, ' ');
    header.insert(header.end(), count.begin(), count.end());
    return header;
}

// The directory header and `entries` names TAG0000n (up to 99999); without its check byte.
Bytes directoryBody(int entries) {
    char count[8];
    std::snprintf(count, sizeof count, "%04d", entries);
    Bytes reply = directoryHeader(count);
    for (int entry = 1; entry <= entries; ++entry) {
        const std::string digits = std::to_string(100000 + entry).substr(1);
        const std::string name = "TAG" + digits + std::string(8, ' ');
        reply.insert(reply.end(), name.begin(), name.end());
    }
    return reply;
}

Bytes fileHeader(const std::string& length) {
    Bytes header{'T', 'R', '0', '1'};
    header.insert(header.end(), length.begin(), length.end());
    return header;
}

// A tag-data file of `length` data bytes.
Bytes tagFile(int length) {
    char field[8];
    std::snprintf(field, sizeof field, "%04d", length);
    Bytes file = fileHeader(field);
    for (int i = 0; i < length; ++i) {
        file.push_back(static_cast<std::uint8_t>('a' + i % 26));
    }
    return file;
}

DeviceNameField nameField(const std::string& name) {
    DeviceNameField field{};
    field.fill(' ');
    std::copy(name.begin(), name.end(), field.begin());
    return field;
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

std::string frameWord(const Bytes& frame) {
    const std::string first = frame[0] == kStx ? "STX" : std::string(1, char(frame[0]));
    return "send " + first + "/" + std::to_string(frame.size());
}

std::string endWord(const ExchangeOutcome& outcome) {
    std::string word =
        outcome.cancelled ? "end cancelled" : "end " + std::string(1, outcome.letter);
    const std::pair<bool, const char*> flags[] = {
        {outcome.quiet, " quiet"},       {outcome.timedOut, " timeout"},
        {outcome.lineGone, " gone"},     {outcome.noFiles, " nofiles"},
        {outcome.notAReply, " noreply"}, {!outcome.detail.empty(), " detail"}};
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
            return frameWord(action.bytes);
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

// A row: the events fed after the start and the words of every action but progress, in
// order, with ", " between them.
struct Row {
    const char* name;
    std::vector<Event> events;
    std::string actions;
};

const LineTiming kLine{9600, 'E', 1};

std::string run(ExchangeMachine& machine, const ExchangeRequest& request,
                const std::vector<Event>& events) {
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

void checkTable(const ExchangeRequest& request, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ExchangeMachine machine;
        EXPECT_EQ(run(machine, request, row.events), row.actions);
    }
}

ExchangeRequest requestOf(ExchangeRequest::Kind kind, const LineTiming& line = kLine,
                          const std::string& path = "") {
    ExchangeRequest request;
    request.kind = kind;
    request.line = line;
    request.path = path;
    return request;
}

std::vector<Event> then(std::vector<Event> head, const std::vector<Event>& rest) {
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

const Event accepted = rx(status('0'));

// ---- The directory

TEST(ExchangeMachine, DirectoryTableEveryReplyTimeOutCancelAndHangUp) {
    const Bytes two = withCheckByte(directoryBody(2));
    Bytes damaged = two;
    damaged.back() ^= 0x01;
    const Event entries = rx(directoryBody(2));
    auto afterStatus = [](const std::vector<Event>& rest) { return then({accepted}, rest); };
    const std::string asked = "open, send D/2, wait 2";
    const std::string toHeader = asked + ", disarm, send STX/1, wait 16";
    const std::string toEntries = toHeader + ", disarm, wait 49";
    checkTable(
        requestOf(ExchangeRequest::Kind::Receive),
        {
            {"listed", afterStatus({entries, rx({two.back()})}),
             toEntries + ", disarm, list 2, close"},
            {"whole reply in one run", afterStatus({rx(two)}),
             toEntries + ", disarm, list 2, close"},
            {"refused", {rx(status('V'))}, asked + ", disarm, close, end V"},
            {"any letter", {rx(status('A'))}, asked + ", disarm, close, end A"},
            {"silence", {timeOut}, asked + ", close, end N timeout"},
            {"short status", {rx({'0'}), timeOut}, asked + ", close, end N timeout"},
            {"noise for a status", {rx({0xF8, 0x80})}, asked + ", disarm, close, end N noreply"},
            {"noise, then silence",
             {rx({0x66}), timeOut},
             asked + ", close, end N timeout noreply"},
            {"short header", afterStatus({rx(Bytes(15, ' ')), timeOut}),
             toHeader + ", close, end N timeout"},
            {"short entries", afterStatus({entries, timeOut}),
             toEntries + ", close, end N timeout"},
            {"16 entries", afterStatus({rx(directoryHeader("0016"))}),
             toHeader + ", disarm, close, end W detail"},
            {"negative count", afterStatus({rx(directoryHeader("-001"))}),
             toHeader + ", disarm, close, end W detail"},
            {"letters for a count", afterStatus({rx(directoryHeader("ABCD"))}),
             toHeader + ", disarm, close, end 0 nofiles"},
            {"empty", afterStatus({rx(directoryHeader("0000"))}),
             toHeader + ", disarm, close, end 0 nofiles"},
            {"damaged", afterStatus({rx(damaged)}), toEntries + ", disarm, close, end B"},
            {"cancel at status", {cancel}, asked + ", disarm, close, end cancelled"},
            {"cancel at header", afterStatus({cancel}),
             toHeader + ", disarm, close, end cancelled"},
            {"cancel at entries", afterStatus({entries, cancel}),
             toEntries + ", disarm, close, end cancelled"},
            {"cancel at the choice", afterStatus({rx(two), cancel}),
             toEntries + ", disarm, list 2, close, end cancelled"},
            {"hang-up at status", {hangUp}, asked + ", disarm, close, end N gone"},
            {"hang-up at header", afterStatus({hangUp}), toHeader + ", disarm, close, end N gone"},
            {"hang-up at entries", afterStatus({entries, hangUp}),
             toEntries + ", disarm, close, end N gone"},
            {"hang-up after the list is nothing", afterStatus({rx(two), hangUp, timeOut}),
             toEntries + ", disarm, list 2, close"},
            {"a program ends at the listing", afterStatus({rx(two), endAt('R')}),
             toEntries + ", disarm, list 2, close, end R"},
        });
    checkTable(requestOf(ExchangeRequest::Kind::List),
               {{"a listing alone", afterStatus({rx(two)}),
                 toEntries + ", disarm, list 2, close, end 0"}});
}

// ---- The fetch

TEST(ExchangeMachine, FetchTableEveryReplyTimeOutCancelHangUpAndSave) {
    const Bytes reply = withCheckByte(tagFile(100));
    Bytes damaged = reply;
    damaged[20] ^= 0x40;
    const std::vector<Event> toListing = {accepted, rx(withCheckByte(directoryBody(2)))};
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
            {"saved", then(toFetch, {accepted, rx(reply), saved}),
             listing + data + ", disarm, close, save /t.tiv/108, end 0 saved /t.tiv"},
            {"save dialog cancelled", then(toChoice, {answer(std::nullopt)}),
             listing + "end cancelled quiet"},
            {"no such entry", then(toListing, {choose(2), choose(-1), endAt('0')}),
             listed + ", end 0"},
            {"refused", then(toFetch, {rx(status('R'))}),
             listing + fetch + ", disarm, end R, close"},
            {"silence", then(toFetch, {timeOut}), listing + fetch + ", close, end N timeout"},
            {"no header", then(toFetch, {accepted, rx(fileHeader("01")), timeOut}),
             listing + toHeader + ", close, end N timeout"},
            {"short data", then(toFetch, {accepted, header, timeOut}),
             listing + data + ", close, end N timeout"},
            {"negative length", then(toFetch, {accepted, rx(fileHeader("-001"))}),
             listing + toHeader + ", disarm, close, end W detail"},
            {"damaged", then(toFetch, {accepted, rx(damaged)}),
             listing + data + ", disarm, close, end B"},
            {"not saved", then(toFetch, {accepted, rx(reply), failure("read-only")}),
             listing + data + ", disarm, close, save /t.tiv/108, end D detail"},
            {"cancel at status", then(toFetch, {cancel}),
             listing + fetch + ", disarm, close, end cancelled"},
            {"cancel at data", then(toFetch, {accepted, header, cancel}),
             listing + data + ", disarm, close, end cancelled"},
            {"cancel while saving is too late", then(toFetch, {accepted, rx(reply), cancel, saved}),
             listing + data + ", disarm, close, save /t.tiv/108, end 0 saved /t.tiv"},
            {"hang-up at header", then(toFetch, {accepted, hangUp}),
             listing + toHeader + ", disarm, close, end N gone"},
            {"hang-up at data", then(toFetch, {accepted, header, hangUp}),
             listing + data + ", disarm, close, end N gone"},
        });
    ExchangeRequest direct = requestOf(ExchangeRequest::Kind::Fetch, kLine, "/b/TAG00001.tiv");
    direct.name = nameField("TAG00001");
    direct.keepExisting = true;
    checkTable(direct, {{"a run's fetch, keeping what exists",
                         {accepted, rx(reply), saved},
                         data + ", disarm, close, save /b/TAG00001.tiv/108 keep, "
                                "end 0 saved /b/TAG00001.tiv"}});
}

// ---- The send

TEST(ExchangeMachine, SendTableEveryReplyTimeOutCancelHangUpAndFile) {
    const Bytes file = tagFile(12);
    Bytes longer = file;
    longer.insert(longer.end(), {'x', 'y'});
    const Event pick = answer("/d/TAG00017.tiv");
    const std::vector<Event> toAnnounce = {pick, loaded(file)};
    const std::string chosen = "ask open, load /d/TAG00017.tiv";
    const std::string announced = chosen + ", open, send T/18, wait 2";
    const std::string sent = announced + ", disarm, send STX/14, wait 2";
    checkTable(
        requestOf(ExchangeRequest::Kind::Send),
        {
            {"stored", then(toAnnounce, {accepted, accepted}),
             sent + ", disarm, close, end 0 stored TAG00017"},
            {"bytes beyond the length stay home",
             {pick, loaded(longer), accepted, accepted},
             sent + ", disarm, close, end 0 stored TAG00017"},
            {"open dialog cancelled", {answer(std::nullopt)}, "ask open, end cancelled quiet"},
            {"unreadable", {pick, failure("no such file")}, chosen + ", end D detail"},
            {"shorter than announced",
             {pick, loaded(Bytes(file.begin(), file.end() - 1))},
             chosen + ", end D detail"},
            {"no header", {pick, loaded(Bytes{'T', 'R'})}, chosen + ", end D detail"},
            {"memory full", then(toAnnounce, {rx(status('S'))}),
             announced + ", disarm, close, end S"},
            {"data refused", then(toAnnounce, {accepted, rx(status('X'))}),
             sent + ", disarm, close, end X"},
            {"silence", then(toAnnounce, {timeOut}), announced + ", close, end N timeout"},
            {"no data status", then(toAnnounce, {accepted, rx({'0'}), timeOut}),
             sent + ", close, end N timeout"},
            {"cancel in the dialog", {cancel}, "ask open, end cancelled"},
            {"cancel at the announcement", then(toAnnounce, {cancel}),
             announced + ", disarm, close, end cancelled"},
            {"cancel at the data", then(toAnnounce, {accepted, cancel}),
             sent + ", disarm, close, end cancelled"},
            {"hang-up at the data", then(toAnnounce, {accepted, hangUp}),
             sent + ", disarm, close, end N gone"},
            {"late events after the end",
             then(toAnnounce, {timeOut, timeOut, accepted, cancel, saved}),
             announced + ", close, end N timeout"},
        });
}

// ---- Waits and progress

TEST(ExchangeMachine, WaitsAreTheLineTimedWaitsForEveryRateAndSize) {
    for (const int baud : {9600, 19200, 38400, 57600}) {
        for (const char parity : {'N', 'E', 'O'}) {
            for (const int stopBits : {1, 2}) {
                const LineTiming line{baud, parity, stopBits};
                for (const int length : {0, 1, 100, 9999}) {
                    SCOPED_TRACE(std::to_string(baud) + parity + std::to_string(stopBits) + " " +
                                 std::to_string(length));
                    std::vector<int> waits;
                    auto note = [&waits](const MachineActions& actions) {
                        for (const MachineAction& action : actions) {
                            if (action.kind == MachineAction::Kind::ArmWait) {
                                waits.push_back(action.milliseconds);
                            }
                        }
                    };
                    ExchangeMachine machine;
                    note(machine.start(requestOf(ExchangeRequest::Kind::Fetch, line)));
                    note(machine.received(status('0')));
                    note(machine.received(tagFile(length)));
                    note(machine.timedOut());
                    note(machine.start(requestOf(ExchangeRequest::Kind::Send, line, "/TAG.tiv")));
                    note(machine.fileLoaded(tagFile(length)));
                    note(machine.received(status('0')));
                    note(machine.timedOut());
                    note(machine.start(requestOf(ExchangeRequest::Kind::List, line)));
                    note(machine.received(status('0')));
                    note(machine.received(directoryBody(15)));
                    note(machine.timedOut());
                    EXPECT_EQ(waits,
                              (std::vector<int>{
                                  statusWaitMs(10, line), fileHeaderWaitMs(line),
                                  fileDataWaitMs(length, line), statusWaitMs(18, line),
                                  dataStatusWaitMs(length, line), statusWaitMs(2, line),
                                  directoryHeaderWaitMs(line), directoryEntriesWaitMs(15, line)}));
                }
            }
        }
    }
    // The longest fetch at the slowest rate keeps the old 50 ms a byte.
    EXPECT_EQ(fileDataWaitMs(9999, kLine), 50 * 9999 + 50);
}

TEST(ExchangeMachine, ProgressCountsTheFileBytesBothWaysAndEndsAtTheWhole) {
    std::vector<std::size_t> done;
    std::size_t total = 0;
    auto progressOf = [&done, &total](const MachineActions& actions) {
        for (const MachineAction& action : actions) {
            if (action.kind == MachineAction::Kind::Progress) {
                done.push_back(action.done);
                total = action.total;
            }
        }
    };
    const Bytes reply = withCheckByte(tagFile(9999));
    ExchangeMachine machine;
    progressOf(machine.start(requestOf(ExchangeRequest::Kind::Fetch)));
    progressOf(machine.received(status('0')));
    progressOf(machine.received(Bytes(reply.begin(), reply.begin() + 5000)));
    progressOf(machine.received(Bytes(reply.begin() + 5000, reply.end())));
    EXPECT_EQ(total, 10007u);
    EXPECT_EQ(done, (std::vector<std::size_t>{5000, 10007, 10007}));
    machine.saved();

    done.clear();
    progressOf(machine.start(requestOf(ExchangeRequest::Kind::Send, kLine, "/TAG.tiv")));
    progressOf(machine.fileLoaded(tagFile(9999)));
    progressOf(machine.received(status('0')));
    progressOf(machine.frameLeft(4001));
    progressOf(machine.frameLeft(10001));
    progressOf(machine.received(Bytes{'0'}));
    progressOf(machine.received(Bytes{'0'}));
    EXPECT_EQ(total, 10007u);
    EXPECT_EQ(done, (std::vector<std::size_t>{8, 4008, 10007, 10007}));
}

}  // namespace
}  // namespace dravolin
