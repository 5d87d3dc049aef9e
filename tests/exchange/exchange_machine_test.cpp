#include "exchange/engine/exchange_machine.h"

#include <gtest/gtest.h>

#include <cstdio>
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

Bytes tail(const Bytes& bytes, std::size_t from) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
}

DeviceNameField nameField(const std::string& name) {
    DeviceNameField field{};
    field.fill(' ');
    std::copy(name.begin(), name.end(), field.begin());
    return field;
}

// ---- Events in, actions out, as words

struct Event {
    enum class Kind { Bytes, TimeOut, Cancel, HangUp, Choose, File, Loaded, Saved, Failure, EndAt };
    Kind kind;
    Bytes bytes{};
    int index = 0;
    std::optional<std::string> path{};
};

Event rx(Bytes bytes) {
    return {Event::Kind::Bytes, std::move(bytes)};
}
const Event timeOut{Event::Kind::TimeOut};
const Event cancel{Event::Kind::Cancel};
const Event hangUp{Event::Kind::HangUp};
const Event saved{Event::Kind::Saved};
Event choose(int index) {
    return {Event::Kind::Choose, {}, index};
}
Event answer(std::optional<std::string> path) {
    return {Event::Kind::File, {}, 0, std::move(path)};
}
Event loaded(Bytes bytes) {
    return {Event::Kind::Loaded, std::move(bytes)};
}
Event failure(std::string reason) {
    return {Event::Kind::Failure, {}, 0, std::move(reason)};
}
Event endAt(char letter) {
    return {Event::Kind::EndAt, {}, letter};
}

MachineActions feed(ExchangeMachine& machine, const Event& event) {
    switch (event.kind) {
        case Event::Kind::Bytes:
            return machine.received(event.bytes);
        case Event::Kind::TimeOut:
            return machine.timedOut();
        case Event::Kind::Cancel:
            return machine.cancel();
        case Event::Kind::HangUp:
            return machine.hungUp();
        case Event::Kind::Choose:
            return machine.entryChosen(event.index);
        case Event::Kind::File:
            return machine.fileChosen(event.path);
        case Event::Kind::Loaded:
            return machine.fileLoaded(event.bytes);
        case Event::Kind::Saved:
            return machine.saved();
        case Event::Kind::Failure:
            return machine.localFailure(*event.path);
        case Event::Kind::EndAt:
            return machine.endAtListing(static_cast<char>(event.index));
    }
    return {};
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

struct Row {
    const char* name;
    std::vector<Event> events;
    std::vector<std::string> actions;  // every action but progress, in order
};

const LineTiming kLine{9600, 'E', 1};

std::vector<std::string> run(ExchangeMachine& machine, const ExchangeRequest& request,
                             const std::vector<Event>& events) {
    std::vector<std::string> words;
    auto note = [&words](const MachineActions& actions) {
        for (const MachineAction& action : actions) {
            if (action.kind != MachineAction::Kind::Progress) {
                words.push_back(word(action));
            }
        }
    };
    note(machine.start(request));
    for (const Event& event : events) {
        note(feed(machine, event));
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

ExchangeRequest receiveRequest(ExchangeRequest::Kind kind = ExchangeRequest::Kind::Receive) {
    ExchangeRequest request;
    request.kind = kind;
    request.line = kLine;
    return request;
}

// ---- The directory

TEST(ExchangeMachine, DirectoryTableEveryReplyTimeOutCancelAndHangUp) {
    const Bytes two = withCheckByte(directoryBody(2));
    Bytes damaged = two;
    damaged.back() ^= 0x01;
    const std::vector<std::string> toHeader = {"open",   "send D/2",   "wait 2",
                                               "disarm", "send STX/1", "wait 16"};
    auto after = [](std::vector<std::string> head, std::vector<std::string> rest) {
        head.insert(head.end(), rest.begin(), rest.end());
        return head;
    };
    const std::vector<std::string> toEntries = after(toHeader, {"disarm", "wait 49"});
    checkTable(receiveRequest(),
               {
                   {"listed",
                    {rx(status('0')), rx(directoryBody(2)), rx({two.back()})},
                    after(toEntries, {"disarm", "list 2", "close"})},
                   {"whole reply in one run",
                    {rx(status('0')), rx(two)},
                    after(toEntries, {"disarm", "list 2", "close"})},
                   {"refused",
                    {rx(status('V'))},
                    {"open", "send D/2", "wait 2", "disarm", "close", "end V"}},
                   {"any letter",
                    {rx(status('A'))},
                    {"open", "send D/2", "wait 2", "disarm", "close", "end A"}},
                   {"silence", {timeOut}, {"open", "send D/2", "wait 2", "close", "end N timeout"}},
                   {"short status",
                    {rx({'0'}), timeOut},
                    {"open", "send D/2", "wait 2", "close", "end N timeout"}},
                   {"noise for a status",
                    {rx({0xF8, 0x80})},
                    {"open", "send D/2", "wait 2", "disarm", "close", "end N noreply"}},
                   {"noise, then silence",
                    {rx({0x66}), timeOut},
                    {"open", "send D/2", "wait 2", "close", "end N timeout noreply"}},
                   {"short header",
                    {rx(status('0')), rx(Bytes(15, ' ')), timeOut},
                    after(toHeader, {"close", "end N timeout"})},
                   {"short entries",
                    {rx(status('0')), rx(directoryBody(2)), timeOut},
                    after(toEntries, {"close", "end N timeout"})},
                   {"16 entries",
                    {rx(status('0')), rx(directoryHeader("0016"))},
                    after(toHeader, {"disarm", "close", "end W detail"})},
                   {"negative count",
                    {rx(status('0')), rx(directoryHeader("-001"))},
                    after(toHeader, {"disarm", "close", "end W detail"})},
                   {"letters for a count",
                    {rx(status('0')), rx(directoryHeader("ABCD"))},
                    after(toHeader, {"disarm", "close", "end 0 nofiles"})},
                   {"empty",
                    {rx(status('0')), rx(directoryHeader("0000"))},
                    after(toHeader, {"disarm", "close", "end 0 nofiles"})},
                   {"damaged",
                    {rx(status('0')), rx(damaged)},
                    after(toEntries, {"disarm", "close", "end B"})},
                   {"cancel at status",
                    {cancel},
                    {"open", "send D/2", "wait 2", "disarm", "close", "end cancelled"}},
                   {"cancel at header",
                    {rx(status('0')), cancel},
                    after(toHeader, {"disarm", "close", "end cancelled"})},
                   {"cancel at entries",
                    {rx(status('0')), rx(directoryBody(2)), cancel},
                    after(toEntries, {"disarm", "close", "end cancelled"})},
                   {"cancel at the choice",
                    {rx(status('0')), rx(two), cancel},
                    after(toEntries, {"disarm", "list 2", "close", "end cancelled"})},
                   {"hang-up at status",
                    {hangUp},
                    {"open", "send D/2", "wait 2", "disarm", "close", "end N gone"}},
                   {"hang-up at header",
                    {rx(status('0')), hangUp},
                    after(toHeader, {"disarm", "close", "end N gone"})},
                   {"hang-up at entries",
                    {rx(status('0')), rx(directoryBody(2)), hangUp},
                    after(toEntries, {"disarm", "close", "end N gone"})},
                   {"hang-up after the list is nothing",
                    {rx(status('0')), rx(two), hangUp, timeOut},
                    after(toEntries, {"disarm", "list 2", "close"})},
                   {"a program ends at the listing",
                    {rx(status('0')), rx(two), endAt('R')},
                    after(toEntries, {"disarm", "list 2", "close", "end R"})},
               });
    checkTable(receiveRequest(ExchangeRequest::Kind::List),
               {{"a listing alone",
                 {rx(status('0')), rx(two)},
                 after(toEntries, {"disarm", "list 2", "close", "end 0"})}});
}

// ---- The fetch

TEST(ExchangeMachine, FetchTableEveryReplyTimeOutCancelHangUpAndSave) {
    const Bytes file = tagFile(100);
    const Bytes reply = withCheckByte(file);
    Bytes damaged = reply;
    damaged[20] ^= 0x40;
    const Bytes listed = withCheckByte(directoryBody(2));
    const std::vector<Event> toChoice = {rx(status('0')), rx(listed), choose(1)};
    auto events = [&toChoice](std::vector<Event> rest) {
        std::vector<Event> all = toChoice;
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    };
    const std::vector<std::string> listing = {
        "open",   "send D/2", "wait 2", "disarm", "send STX/1", "wait 16",
        "disarm", "wait 49",  "disarm", "list 2", "close",      "ask save TAG00002"};
    auto after = [&listing](std::vector<std::string> rest) {
        std::vector<std::string> all = listing;
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    };
    const std::vector<std::string> fetch = {"open", "send G/10", "wait 2"};
    const std::vector<std::string> header = {"open",   "send G/10",  "wait 2",
                                             "disarm", "send STX/1", "wait 8"};
    auto more = [](std::vector<std::string> head, std::vector<std::string> rest) {
        head.insert(head.end(), rest.begin(), rest.end());
        return head;
    };
    const std::vector<std::string> data = more(header, {"disarm", "wait 109"});
    checkTable(
        receiveRequest(),
        {
            {"saved", events({answer("/t.tiv"), rx(status('0')), rx(reply), saved}),
             after(more(data, {"disarm", "close", "save /t.tiv/108", "end 0 saved /t.tiv"}))},
            {"save dialog cancelled", events({answer(std::nullopt)}),
             after({"end cancelled quiet"})},
            {"no such entry",
             {rx(status('0')), rx(listed), choose(2), choose(-1), endAt('0')},
             more(std::vector<std::string>(listing.begin(), listing.end() - 1), {"end 0"})},
            {"refused", events({answer("/t.tiv"), rx(status('R'))}),
             after(more(fetch, {"disarm", "end R", "close"}))},
            {"silence", events({answer("/t.tiv"), timeOut}),
             after(more(fetch, {"close", "end N timeout"}))},
            {"no header",
             events({answer("/t.tiv"), rx(status('0')), rx(fileHeader("01")), timeOut}),
             after(more(header, {"close", "end N timeout"}))},
            {"short data",
             events({answer("/t.tiv"), rx(status('0')), rx(fileHeader("0100")), timeOut}),
             after(more(data, {"close", "end N timeout"}))},
            {"negative length", events({answer("/t.tiv"), rx(status('0')), rx(fileHeader("-001"))}),
             after(more(header, {"disarm", "close", "end W detail"}))},
            {"damaged", events({answer("/t.tiv"), rx(status('0')), rx(damaged)}),
             after(more(data, {"disarm", "close", "end B"}))},
            {"not saved",
             events({answer("/t.tiv"), rx(status('0')), rx(reply), failure("read-only")}),
             after(more(data, {"disarm", "close", "save /t.tiv/108", "end D detail"}))},
            {"cancel at status", events({answer("/t.tiv"), cancel}),
             after(more(fetch, {"disarm", "close", "end cancelled"}))},
            {"cancel at data",
             events({answer("/t.tiv"), rx(status('0')), rx(fileHeader("0100")), cancel}),
             after(more(data, {"disarm", "close", "end cancelled"}))},
            {"cancel while saving is too late",
             events({answer("/t.tiv"), rx(status('0')), rx(reply), cancel, saved}),
             after(more(data, {"disarm", "close", "save /t.tiv/108", "end 0 saved /t.tiv"}))},
            {"hang-up at header", events({answer("/t.tiv"), rx(status('0')), hangUp}),
             after(more(header, {"disarm", "close", "end N gone"}))},
            {"hang-up at data",
             events({answer("/t.tiv"), rx(status('0')), rx(fileHeader("0100")), hangUp}),
             after(more(data, {"disarm", "close", "end N gone"}))},
        });
    ExchangeRequest direct = receiveRequest(ExchangeRequest::Kind::Fetch);
    direct.name = nameField("TAG00001");
    direct.path = "/b/TAG00001.tiv";
    direct.keepExisting = true;
    checkTable(direct, {{"a run's fetch, keeping what exists",
                         {rx(status('0')), rx(reply), saved},
                         more(data, {"disarm", "close", "save /b/TAG00001.tiv/108 keep",
                                     "end 0 saved /b/TAG00001.tiv"})}});
}

// ---- The send

TEST(ExchangeMachine, SendTableEveryReplyTimeOutCancelHangUpAndFile) {
    const Bytes file = tagFile(12);
    Bytes longer = file;
    longer.insert(longer.end(), {'x', 'y'});
    const Bytes shortFile(file.begin(), file.end() - 1);
    const std::vector<std::string> chosen = {"ask open", "load /d/TAG00017.tiv"};
    auto after = [](std::vector<std::string> head, std::vector<std::string> rest) {
        head.insert(head.end(), rest.begin(), rest.end());
        return head;
    };
    const std::vector<std::string> announced = after(chosen, {"open", "send T/18", "wait 2"});
    const std::vector<std::string> sent = after(announced, {"disarm", "send STX/14", "wait 2"});
    const std::vector<Event> pick = {answer("/d/TAG00017.tiv")};
    auto events = [&pick](std::vector<Event> rest) {
        std::vector<Event> all = pick;
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    };
    ExchangeRequest request;
    request.kind = ExchangeRequest::Kind::Send;
    request.line = kLine;
    checkTable(
        request,
        {
            {"stored", events({loaded(file), rx(status('0')), rx(status('0'))}),
             after(sent, {"disarm", "close", "end 0 stored TAG00017"})},
            {"bytes beyond the length stay home",
             events({loaded(longer), rx(status('0')), rx(status('0'))}),
             after(sent, {"disarm", "close", "end 0 stored TAG00017"})},
            {"open dialog cancelled", {answer(std::nullopt)}, {"ask open", "end cancelled quiet"}},
            {"unreadable", events({failure("no such file")}), after(chosen, {"end D detail"})},
            {"shorter than announced", events({loaded(shortFile)}),
             after(chosen, {"end D detail"})},
            {"no header", events({loaded(Bytes{'T', 'R'})}), after(chosen, {"end D detail"})},
            {"memory full", events({loaded(file), rx(status('S'))}),
             after(announced, {"disarm", "close", "end S"})},
            {"data refused", events({loaded(file), rx(status('0')), rx(status('X'))}),
             after(sent, {"disarm", "close", "end X"})},
            {"silence", events({loaded(file), timeOut}),
             after(announced, {"close", "end N timeout"})},
            {"no data status", events({loaded(file), rx(status('0')), rx({'0'}), timeOut}),
             after(sent, {"close", "end N timeout"})},
            {"cancel in the dialog", {cancel}, {"ask open", "end cancelled"}},
            {"cancel at the announcement", events({loaded(file), cancel}),
             after(announced, {"disarm", "close", "end cancelled"})},
            {"cancel at the data", events({loaded(file), rx(status('0')), cancel}),
             after(sent, {"disarm", "close", "end cancelled"})},
            {"hang-up at the data", events({loaded(file), rx(status('0')), hangUp}),
             after(sent, {"disarm", "close", "end N gone"})},
            {"late events after the end",
             events({loaded(file), timeOut, timeOut, rx(status('0')), cancel, saved}),
             after(announced, {"close", "end N timeout"})},
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
                    ExchangeRequest fetch;
                    fetch.kind = ExchangeRequest::Kind::Fetch;
                    fetch.line = line;
                    note(machine.start(fetch));
                    note(machine.received(status('0')));
                    note(machine.received(tagFile(length)));
                    note(machine.timedOut());
                    ExchangeRequest send;
                    send.kind = ExchangeRequest::Kind::Send;
                    send.line = line;
                    send.path = "/TAG.tiv";
                    note(machine.start(send));
                    note(machine.fileLoaded(tagFile(length)));
                    note(machine.received(status('0')));
                    note(machine.timedOut());
                    ExchangeRequest list;
                    list.kind = ExchangeRequest::Kind::List;
                    list.line = line;
                    note(machine.start(list));
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
    auto progressOf = [](const MachineActions& actions, std::vector<std::size_t>& done,
                         std::size_t& total) {
        for (const MachineAction& action : actions) {
            if (action.kind == MachineAction::Kind::Progress) {
                done.push_back(action.done);
                total = action.total;
            }
        }
    };
    const Bytes reply = withCheckByte(tagFile(9999));
    ExchangeMachine machine;
    ExchangeRequest fetch;
    fetch.kind = ExchangeRequest::Kind::Fetch;
    fetch.line = kLine;
    std::vector<std::size_t> done;
    std::size_t total = 0;
    progressOf(machine.start(fetch), done, total);
    progressOf(machine.received(status('0')), done, total);
    progressOf(machine.received(Bytes(reply.begin(), reply.begin() + 5000)), done, total);
    progressOf(machine.received(tail(reply, 5000)), done, total);
    EXPECT_EQ(total, 10007u);
    EXPECT_EQ(done, (std::vector<std::size_t>{5000, 10007, 10007}));
    machine.saved();

    ExchangeRequest send;
    send.kind = ExchangeRequest::Kind::Send;
    send.line = kLine;
    send.path = "/TAG.tiv";
    done.clear();
    progressOf(machine.start(send), done, total);
    progressOf(machine.fileLoaded(tagFile(9999)), done, total);
    progressOf(machine.received(status('0')), done, total);
    progressOf(machine.frameLeft(4001), done, total);
    progressOf(machine.frameLeft(10001), done, total);
    progressOf(machine.received(Bytes{'0'}), done, total);
    progressOf(machine.received(Bytes{'0'}), done, total);
    EXPECT_EQ(total, 10007u);
    EXPECT_EQ(done, (std::vector<std::size_t>{8, 4008, 10007, 10007}));
}

}  // namespace
}  // namespace dravolin
