#include "exchange/programmer_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "exchange/search_order.h"
#include "exchange/transfer_log.h"

namespace dravolin {
namespace {

// The record's fields after the time and the program, as the log writes them.
std::string loggedFields(const ExchangeRecord& record) {
    const std::string line = TransferLog::formatLine("test", record);
    const std::string fields = line.substr(line.find("\tfunction="));
    return fields.substr(0, fields.find("\tduration=")) +
           fields.substr(fields.find('\t', fields.find("\tduration=") + 1));
}

// Answers each try from its table (silence where it has no row); try `holdAt` waits for a cancel.
class FakeLineTry : public LineTry {
public:
    void start(const TryRequest& request, Done done) override {
        requests.push_back(request);
        if (requests.size() == holdAt) {
            held = std::move(done);
            return;
        }
        const auto row = table.find({request.devicePath, request.line.text()});
        done(row == table.end() ? TryOutcome::of(TryOutcome::Kind::Silence) : row->second);
    }
    void cancel() override {
        if (held) {
            const Done done = std::exchange(held, nullptr);
            done(TryOutcome::of(TryOutcome::Kind::Cancelled));
        }
    }

    std::map<std::pair<std::string, std::string>, TryOutcome> table;
    std::vector<TryRequest> requests;
    std::size_t holdAt = 0;  // the try (counted from 1) whose end the test brings about
    Done held;
};

SearchCandidate candidate(const std::string& path) {
    return SearchCandidate{path, path + " (stable)", std::nullopt};
}

struct SearchRun {
    std::vector<SearchProgress> progress;
    std::vector<SearchResult> results;
    std::vector<ExchangeRecord> records;  // the transfer log's
};

SearchRun search(FakeLineTry& lineTry, std::vector<SearchCandidate> candidates,
                 const LineSettings& saved) {
    SearchRun run;
    ProgrammerSearch finder(lineTry, std::move(candidates), searchOrder(saved));
    finder.onProgress([&run](const SearchProgress& step) { run.progress.push_back(step); });
    finder.onFinished([&run](const SearchResult& result) {
        // The record is told first, and only once.
        EXPECT_EQ(run.records.size(), 1u);
        run.results.push_back(result);
    });
    finder.onRecord([&run](const ExchangeRecord& record) { run.records.push_back(record); });
    finder.start();
    if (lineTry.held) {
        finder.cancel();
    }
    return run;
}

TEST(SearchOrderTest, SavedThenDefaultsThenOneChangeBeforeTwoAndThreeEachSettingOnce) {
    for (const LineSettings& saved :
         {LineSettings{19200, 'O', 2}, kDefaultLine, LineSettings{57600, 'N', 1}}) {
        SCOPED_TRACE(saved.text());
        const std::vector<LineSettings> order = searchOrder(saved);
        ASSERT_EQ(order.size(), 24u);
        EXPECT_EQ(order[0], saved);
        EXPECT_EQ(order[1], (saved == kDefaultLine ? LineSettings{9600, 'E', 2} : kDefaultLine));
        std::set<std::string> seen;
        int lastChanges = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            seen.insert(order[i].text());
            if (i >= 2 || saved == kDefaultLine) {
                const int changes = (order[i].baudRate != saved.baudRate) +
                                    (order[i].parity != saved.parity) +
                                    (order[i].stopBits != saved.stopBits);
                EXPECT_GE(changes, lastChanges) << order[i].text();
                lastChanges = changes;
            }
        }
        EXPECT_EQ(seen.size(), 24u);
    }
    // Within a group: rate, then parity E, O, N, then stop bits.
    const std::vector<LineSettings> order = searchOrder(kDefaultLine);
    EXPECT_EQ(order[2].text(), "9600,O,1");
    EXPECT_EQ(order[3].text(), "9600,N,1");
    EXPECT_EQ(order[4].text(), "19200,E,1");
}

TEST(ProgrammerSearchTest, AsksAdaptersInTurnAtEachSettingInOrderAndStopsAtTheAnswer) {
    FakeLineTry lineTry;
    const LineSettings saved{9600, 'E', 1};
    lineTry.table[{"/dev/ttyUSB1", "38400,N,2"}] = TryOutcome::answered(7);
    lineTry.table[{"/dev/ttyUSB0", "19200,E,1"}] = TryOutcome::of(TryOutcome::Kind::Garbage);
    lineTry.table[{"/dev/ttyUSB1", "9600,E,1"}] = TryOutcome::refused('V');
    const SearchRun run =
        search(lineTry, {candidate("/dev/ttyUSB0"), candidate("/dev/ttyUSB1")}, saved);

    ASSERT_EQ(run.results.size(), 1u);
    const SearchResult& result = run.results[0];
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.found->devicePath, "/dev/ttyUSB1");
    EXPECT_EQ(result.found->shownName, "/dev/ttyUSB1 (stable)");
    EXPECT_EQ(result.found->line.text(), "38400,N,2");
    EXPECT_EQ(result.found->fileCount, 7);
    EXPECT_FALSE(result.cancelled);

    const std::vector<LineSettings> order = searchOrder(saved);
    const auto foundAt = std::find(order.begin(), order.end(), LineSettings{38400, 'N', 2});
    const std::size_t expectedTries = 24 + static_cast<std::size_t>(foundAt - order.begin()) + 1;
    ASSERT_EQ(lineTry.requests.size(), expectedTries);
    for (std::size_t i = 0; i < lineTry.requests.size(); ++i) {
        EXPECT_EQ(lineTry.requests[i].devicePath, i < 24 ? "/dev/ttyUSB0" : "/dev/ttyUSB1");
        EXPECT_EQ(lineTry.requests[i].line, order[i % 24]);
        EXPECT_TRUE(lineTry.requests[i].shortFirstWait);
        EXPECT_EQ(run.progress[i].tryNumber, i + 1);
        EXPECT_EQ(run.progress[i].tryCount, 48u);
        EXPECT_EQ(run.progress[i].line, order[i % 24]);
    }
    EXPECT_EQ(result.devices[0].tries, 24u);
    EXPECT_EQ(result.devices[0].heardSomething, 1u);
    // The whole search is one record: where the programmer answered, and what was tried.
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_EQ(loggedFields(run.records[0]),
              "\tfunction=find\tdevice=/dev/ttyUSB1\tline=38400,N,8,2\tpc=\tname=\tbytes=0"
              "\toutcome=0\ttried=/dev/ttyUSB0:24;/dev/ttyUSB1:" +
                  std::to_string(expectedTries - 24));
    // A refusal is told with its settings, apart from noise and silence.
    EXPECT_TRUE(result.devices[0].letters.empty());
    ASSERT_EQ(result.devices[1].letters.size(), 1u);
    EXPECT_EQ(result.devices[1].letters[0].letter, 'V');
    const auto asLetters = [](const LineSettings& line) { return line.text(); };
    EXPECT_EQ(lettersHeardLine("USB1", result.devices[1].letters, Language::English, asLetters),
              "USB1 answered without a directory: V at 9600,E,1");
    // The protocol's failure letters come first, whatever came before them.
    EXPECT_EQ(lettersHeardLine("USB1", {{{9600, 'E', 1}, '\xEE'}, {{19200, 'O', 2}, 'X'}},
                               Language::English, asLetters),
              "USB1 answered without a directory: X at 19200,O,2; 0xEE at 9600,E,1");
}

TEST(ProgrammerSearchTest, NothingAnsweringAsksAgainWithFullWaitsOnlyOnDevicesThatSentAnything) {
    // USB0 sent noise at one setting and a refusal at another; USB1 never sent a byte.
    FakeLineTry lineTry;
    lineTry.table[{"/dev/ttyUSB0", "9600,E,1"}] = TryOutcome::of(TryOutcome::Kind::Garbage);
    lineTry.table[{"/dev/ttyUSB0", "9600,O,1"}] = TryOutcome::refused('V');
    const SearchRun run =
        search(lineTry, {candidate("/dev/ttyUSB0"), candidate("/dev/ttyUSB1")}, kDefaultLine);
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_FALSE(run.results[0].found);
    EXPECT_FALSE(run.results[0].cancelled);
    ASSERT_EQ(lineTry.requests.size(), 48u + 22u);
    for (std::size_t i = 48; i < lineTry.requests.size(); ++i) {
        EXPECT_EQ(lineTry.requests[i].devicePath, "/dev/ttyUSB0");
        EXPECT_FALSE(lineTry.requests[i].shortFirstWait);
        EXPECT_NE(lineTry.requests[i].line.text(), "9600,E,1");
        EXPECT_NE(lineTry.requests[i].line.text(), "9600,O,1");
    }
    EXPECT_EQ(lineTry.requests[48].line.text(), "9600,E,2");
    EXPECT_EQ(run.progress[48].pass, 2);
    EXPECT_EQ(run.progress[48].tryNumber, 1u);
    EXPECT_EQ(run.progress[48].tryCount, 22u);
    EXPECT_EQ(run.results[0].devices[0].tries, 46u);
    EXPECT_EQ(run.results[0].devices[1].tries, 24u);
    // One record for all 70 tries: the first device asked, at the first setting, each
    // device's tries of the first pass + the second, and the letter of no response.
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_EQ(loggedFields(run.records[0]),
              "\tfunction=find\tdevice=/dev/ttyUSB0\tline=9600,E,8,1\tpc=\tname=\tbytes=0"
              "\toutcome=N\ttried=/dev/ttyUSB0:24+22;/dev/ttyUSB1:24");

    // The time left: once USB0 has been heard, it counts the second pass to come, whose 22
    // full waits take at least the protocol's second each; then it only counts down.
    EXPECT_GE(run.progress[48].secondsLeft, 22);
    for (std::size_t i = 2; i < run.progress.size(); ++i) {
        EXPECT_LE(run.progress[i].secondsLeft, run.progress[i - 1].secondsLeft) << i;
        EXPECT_GE(run.progress[i].secondsLeft, 1) << i;
    }
}

TEST(ProgrammerSearchTest, NoDeviceHeardEndsAfterTheFirstPass) {
    FakeLineTry lineTry;
    const SearchRun run = search(lineTry, {candidate("/dev/ttyUSB0")}, kDefaultLine);
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_FALSE(run.results[0].found);
    EXPECT_EQ(lineTry.requests.size(), 24u);
    EXPECT_TRUE(std::all_of(run.progress.begin(), run.progress.end(),
                            [](const SearchProgress& step) { return step.pass == 1; }));
    // Without a second pass to come, the time left is the first pass's alone.
    EXPECT_LT(run.progress[0].secondsLeft, 24);
}

TEST(ProgrammerSearchTest, CancelOrNoDeviceToAskEndsTheSearchWithNothingMoreAsked) {
    FakeLineTry lineTry;
    lineTry.holdAt = 5;
    const SearchRun cancelled =
        search(lineTry, {candidate("/dev/ttyUSB0"), candidate("/dev/ttyUSB1")}, kDefaultLine);
    ASSERT_EQ(cancelled.results.size(), 1u);
    EXPECT_TRUE(cancelled.results[0].cancelled);
    EXPECT_FALSE(cancelled.results[0].found);
    EXPECT_EQ(lineTry.requests.size(), 5u);
    ASSERT_EQ(cancelled.records.size(), 1u);
    EXPECT_EQ(loggedFields(cancelled.records[0]),
              "\tfunction=find\tdevice=/dev/ttyUSB0\tline=9600,E,8,1\tpc=\tname=\tbytes=0"
              "\toutcome=cancelled\ttried=/dev/ttyUSB0:5");

    FakeLineTry none;
    SearchCandidate locked = candidate("/dev/ttyUSB0");
    locked.skipped = FilledText{TextId::PortBusyWithHolder, {"/dev/ttyUSB0", "minicom", "42"}};
    const SearchRun nothing = search(none, {locked}, kDefaultLine);
    ASSERT_EQ(nothing.results.size(), 1u);
    EXPECT_FALSE(nothing.results[0].found);
    EXPECT_TRUE(none.requests.empty());
    ASSERT_EQ(nothing.records.size(), 1u);
    EXPECT_EQ(nothing.records[0].devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(nothing.records[0].outcome, 'N');
    EXPECT_EQ(nothing.records[0].tried, "");
    EXPECT_FALSE(nothing.records[0].lineUsed);

    // A search that goes while a try runs (its window closed) is kept as cancelled, once.
    FakeLineTry held;
    held.holdAt = 3;
    std::vector<ExchangeRecord> records;
    {
        ProgrammerSearch finder(held, {candidate("/dev/ttyUSB0")}, searchOrder(kDefaultLine));
        finder.onRecord([&records](const ExchangeRecord& record) { records.push_back(record); });
        finder.start();
        ASSERT_TRUE(finder.running());
    }
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].cancelled);
    EXPECT_EQ(records[0].tried, "/dev/ttyUSB0:3");
}

}  // namespace
}  // namespace dravolin
