#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "exchange/exchange_records.h"
#include "protocol/frame_trace.h"
#include "support/exchange_fixture.h"

namespace dravolin::test {
namespace {

using Fields = std::map<std::string, std::string>;

// A log line's key=value fields, and its time under "time".
Fields fieldsOf(const std::string& line) {
    Fields fields;
    std::istringstream stream(line);
    std::string field;
    std::getline(stream, field, '\t');
    fields["time"] = field;
    while (std::getline(stream, field, '\t')) {
        const auto equals = field.find('=');
        fields[field.substr(0, equals)] = field.substr(equals + 1);
    }
    return fields;
}

// The exchange with its records, the log in the test's own folder.
class Records : public ExchangeFixture {
protected:
    void startRecording() {
        records = std::make_unique<ExchangeRecords>(
            *exchange, "test-program", logPath(),
            [this](const FilledText& warning) { warnings.push_back(warning); });
    }
    std::string logPath() const { return (pc.path() / "state" / "transfers.log").string(); }
    void TearDown() override {
        records.reset();  // before the exchange it watches
    }

    std::unique_ptr<ExchangeRecords> records;
    std::vector<FilledText> warnings;
};

// The trace of a whole receive holds the programmer's own frames in order, though the PC
// receives each reply in runs where the programmer writes it as one line.
TEST_F(Records, EachExchangeIsOneLineAndTheTraceOfAReceiveMatchesTheProgrammersOwn) {
    const std::string content = tagDataFile(std::string(2000, 'x'));
    programmer.write("TAG00001.tiv", content);
    std::mutex guard;
    std::vector<std::string> programmerTrace;
    simOptions.trace = true;
    simOptions.log = [&](const std::string& line) {
        const std::lock_guard lock(guard);
        programmerTrace.push_back(line);
    };
    simOptions.pace = LinePace{57600, 'E', 1};  // so that replies arrive in several runs
    startProgrammer();
    startRecording();
    // The programmers below may get other pseudo-terminals.
    const std::string firstDevice = devicePath();

    std::string error;
    ASSERT_TRUE(records->startTrace(pcFile("trace.txt"), error)) << error;
    // The operator looks at the list for a while: the line is closed meanwhile, and that
    // time is no part of the exchange's time on the line.
    const auto began = std::chrono::steady_clock::now();
    start(Exchange::kReceiveFunction);
    ASSERT_TRUE(exchange->awaitingFileChoice());
    const auto looking = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto operatorTime = std::chrono::steady_clock::now() - looking;
    view.dialogAnswers.push_back(pcFile("saved.tiv"));
    choose(0);
    const std::chrono::duration<double> onTheLine =
        std::chrono::steady_clock::now() - began - operatorTime;
    records->stopTrace();
    ASSERT_EQ(exchange->outcome().letter(), '0');
    const std::string text = pc.read("trace.txt");
    std::vector<std::string> ours;
    std::size_t runs = 0;
    std::istringstream traced(text);
    for (std::string line; std::getline(traced, line);) {
        ASSERT_GT(line.size(), 13u);
        ASSERT_EQ(line[2], ':') << line;  // "09:15:02.481 "
        ASSERT_EQ(line[8], '.') << line;
        const std::string rest = line.substr(13);
        const bool received = rest.starts_with(kToPc);
        runs += received ? 1 : 0;
        if (received && !ours.empty() && ours.back().starts_with(kToPc)) {
            ours.back() += rest.substr(kToPc.size());
        } else if (rest.starts_with(kFromPc) || received) {
            ours.push_back(rest);
        }
    }
    std::vector<std::string> theirs;
    {
        const std::lock_guard lock(guard);
        for (const std::string& line : programmerTrace) {
            if (line.starts_with(kFromPc) || line.starts_with(kToPc)) {
                theirs.push_back(line);
            }
        }
    }
    EXPECT_EQ(ours, theirs);
    ASSERT_EQ(ours.size(), 8u);  // directory and fetch: command, go-ahead, each answered
    EXPECT_GT(runs, ours.size() / 2) << "the file reply should have come in several runs";
    EXPECT_NE(text.find("-- link opened; input and output purged"), std::string::npos);
    EXPECT_NE(text.find("-- outcome 0 after "), std::string::npos);

    view.dialogAnswers.push_back(pcFile("missing.tiv"));
    start(Exchange::kSendFunction);  // refused before the line: 'D'
    start(Exchange::kReceiveFunction);
    exchange->cancel();  // at the choice

    // A refused fetch, then a cancel mid-transfer; records go before the exchange they watch.
    records.reset();
    restartWith([](SimulatorOptions& options) { options.answers[DeviceCommand::Fetch] = 'R'; });
    startRecording();
    fetch("TAG00001", pcFile("refused.tiv"));
    ASSERT_EQ(exchange->outcome().letter(), 'R');
    records.reset();
    restartWith([](SimulatorOptions& options) { options.pace = LinePace{9600, 'E', 1}; });
    startRecording();
    std::size_t receivedAtCancel = 0;
    view.onProgress = [&](const TransferProgress& progress) {
        if (progress.done > 100 && receivedAtCancel == 0) {
            receivedAtCancel = progress.done;
            exchange->cancel();
        }
    };
    fetch("TAG00001", pcFile("cancelled.tiv"));
    ASSERT_TRUE(exchange->outcome().cancelled());

    std::vector<std::string> logLines;
    ASSERT_TRUE(TransferLog::lastLines(logPath(), 100, logLines, error)) << error;
    ASSERT_EQ(logLines.size(), 5u);
    const auto expectFields = [&logLines](std::size_t index, const Fields& wanted) {
        const Fields logged = fieldsOf(logLines[index]);
        for (const auto& [key, value] : wanted) {
            EXPECT_EQ(logged.at(key), value) << "line " << index << ", " << key;
        }
    };
    expectFields(0, {{"program", "test-program"},
                     {"function", "get"},
                     {"device", firstDevice},
                     {"line", "9600,E,8,1"},
                     {"pc", pcFile("saved.tiv")},
                     {"name", "TAG00001"},
                     {"bytes", std::to_string(content.size())},
                     {"outcome", "0"}});
    const Fields first = fieldsOf(logLines[0]);
    EXPECT_EQ(first.at("time").size(), std::string("2026-12-07T09:15:02.481+01:00").size());
    EXPECT_GT(std::stod(first.at("duration")), 0.0);
    EXPECT_LE(std::stod(first.at("duration")), onTheLine.count() + 0.001);
    expectFields(
        1, {{"function", "put"}, {"pc", pcFile("missing.tiv")}, {"outcome", "D"}, {"bytes", "0"}});
    expectFields(2, {{"function", "list"}, {"outcome", "cancelled"}, {"pc", ""}});
    // The refused fetch's size never came.
    expectFields(3, {{"outcome", "R"}, {"name", "TAG00001"}, {"bytes", "0"}});
    // The cancelled fetch logs what came, not the 2008 bytes its header announced.
    ASSERT_LT(receivedAtCancel, content.size());
    expectFields(4, {{"outcome", "cancelled"}, {"bytes", std::to_string(receivedAtCancel)}});
    EXPECT_FALSE(pc.holds("cancelled.tiv"));
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace dravolin::test
