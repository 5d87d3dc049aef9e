#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/exchange_fixture.h"
#include "support/waiting.h"

namespace dravolin::test {
namespace {

class Receive : public ExchangeFixture {};

TEST_F(Receive, ListsThreeNamesInOrderAndWaitsFor65BytesWith1800Ms) {
    startProgrammer();
    // An empty directory shows the information box, then ends as success.
    start(Exchange::kReceiveFunction);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, TextId::NoFileSaved);
    EXPECT_EQ(view.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_EQ(waits.size(), 2u);  // no third phase for an empty directory
    EXPECT_FALSE(exchange->busy());

    programmer.write("TAG00001.tiv", tagDataFile("one"));
    programmer.write("TAG00002.tiv", tagDataFile("two"));
    programmer.write("ZETA.tiv", tagDataFile(""));
    restartWith([](SimulatorOptions&) {});
    choose(0);  // nothing listed yet
    EXPECT_TRUE(framesReceived().empty());
    start(Exchange::kReceiveFunction);
    EXPECT_EQ(waits, (std::vector<Wait>{{2, 1000}, {16, 1000}, {65, 1800}}));
    EXPECT_EQ(view.fileList, (std::vector<std::string>{"TAG00001", "TAG00002", "ZETA    "}));
    EXPECT_EQ(view.fileListModes.back(), 1);
    EXPECT_EQ(view.lastStatus(), TextId::StatusDirectoryListed);
    EXPECT_EQ(framesReceived(), (std::vector<Bytes>{{'D', 'D'}, {0x02}}));

    // Choices beyond the list or of none, and another start, do nothing while it waits.
    choose(3);
    choose(-1);
    start(Exchange::kSendFunction);
    EXPECT_EQ(framesReceived().size(), 2u);
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_TRUE(exchange->awaitingFileChoice());
}

TEST_F(Receive, FetchWritesTheTagDataFileWithoutItsCheckByte) {
    const std::string content = tagDataFile(std::string(300, 'x') + "end");
    programmer.write("TAG00001.tiv", content);
    pc.write("saved.tiv", std::string(2000, 'o'));  // replaced whole
    startProgrammer();

    fetch("TAG00001", pcFile("saved.tiv"));

    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(pc.read("saved.tiv"), content);
    ASSERT_EQ(view.dialogs.size(), 1u);
    EXPECT_EQ(view.dialogs[0].flags, 6u);
    EXPECT_EQ(view.dialogs[0].filterIndex, 2);
    // Directory phases, then the fetch: 303 data bytes are 312 with header and check byte.
    EXPECT_EQ(waits,
              (std::vector<Wait>{
                  {2, 1000}, {16, 1000}, {33, 600}, {2, 1000}, {8, 1000}, {312, 50 * 303 + 50}}));
    EXPECT_EQ(framesReceived().at(2), fetchRequest(Bytes{'T', 'A', 'G', '0', '0', '0', '0', '1'}));
    // Progress was shown for the two data replies only: the directory's whole length, and
    // the file's own bytes (header and data, without the check byte behind them).
    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.front().expected, 33u);
    EXPECT_EQ(view.progress.back().expected, 311u);
    EXPECT_EQ(view.progress.back().done, 311u);
    EXPECT_EQ(view.progressHidden, 2);
    EXPECT_EQ(view.cancelAvailable, (std::vector<bool>{true, false}));

    // A file of length zero: nine bytes awaited, for no less than the line time of the
    // check byte plus the device and adapter allowance (50 ms used to be all).
    programmer.write("EMPTY.tiv", tagDataFile(""));
    fetch("EMPTY", pcFile("empty.tiv"));
    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_EQ(waits.back(), (Wait{9, 102}));
    EXPECT_EQ(pc.read("empty.tiv"), "HD010000");
}

TEST_F(Receive, BytesBehindTheDirectoryReplyNeverAnswerTheFetch) {
    const std::string content = tagDataFile(std::string(300, 'x'));
    programmer.write("TAG00001.tiv", content);
    // Two stray bytes on the line right behind the directory reply (noise, an echo), read
    // as a run of their own while the list is put up and the link is closed.
    ports.plan.noise = "RR";
    ports.plan.noiseAfter = 2 + 16 + 16 + 1;
    view.whenListShown = [&] {
        EXPECT_TRUE(sleepUntil([&] { return ports.latest().noiseRead(); }));
        // The monitor thread hands them over a few microseconds after reading them; with
        // this margin they are surely on their way before the link closes.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ports.plan = PortPlan{};  // the fetch has a quiet line
    };
    startProgrammer();
    fetch("TAG00001", pcFile("saved.tiv"));

    // Taken as the fetch's status reply, they would end it with 'R'.
    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_EQ(pc.read("saved.tiv"), content);
}

// A cancelled file dialog is not held for the outcome pause: there is nothing to report.
// From the prompt to choose it goes straight to idle, without "Data transmission successful"
// (the machine's tables end a cancelled open dialog of a send the same quiet way).
TEST_F(Receive, ACancelledSaveDialogReturnsToIdleAtOnceWithoutATransfer) {
    programmer.write("TAG00001.tiv", tagDataFile("abc"));
    startProgrammer();
    exchange->setOutcomePause(Exchange::kOutcomePauseMs);
    fetch("TAG00001", std::nullopt);
    EXPECT_TRUE(exchange->cancelled());
    EXPECT_FALSE(exchange->busy());
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.statusTexts,
              (std::vector<TextId>{TextId::StatusDirectoryListed, TextId::StatusIdle}));
    EXPECT_EQ(view.fileListModes.back(), 0);
    EXPECT_EQ(framesReceived().size(), 2u);  // the directory request and its go-ahead only
    EXPECT_EQ(pc.listing(), "");
}

// A name the operator did not choose must be a new file: one made at that path while the
// file was on its way stays as it is.
TEST_F(Receive, NewFileOnlyKeepsAFileMadeDuringTheFetch) {
    const std::string data = "twelve bytes";
    programmer.write("TAG00001.tiv", tagDataFile(data));
    startProgrammer();
    exchange->setKeepExistingFiles(true);
    const WaitHook meanwhile(*exchange, [&](std::size_t threshold, int) {
        if (threshold == fileReplyLength(static_cast<long>(data.size()))) {
            pc.write("new.tiv", "made meanwhile");
        }
    });
    fetch("TAG00001", pcFile("new.tiv"));

    expectFailure('D');
    EXPECT_NE(exchange->failureDetail().find("new.tiv exists already"), std::string::npos)
        << exchange->failureDetail();
    EXPECT_EQ(pc.read("new.tiv"), "made meanwhile");
    EXPECT_EQ(pc.listing(), "new.tiv");
}

}  // namespace
}  // namespace dravolin::test
