// What only the line shows; the machine's tables hold every reply, time-out and letter.
#include <gtest/gtest.h>

#include <chrono>

#include "core/message_catalog.h"
#include "serial/platform/comm.h"
#include "support/exchange_fixture.h"

namespace dravolin::test {
namespace {

class OverTheLine : public ExchangeFixture {
protected:
    void send(const std::string& name) {
        view.dialogAnswers.push_back(pcFile(name));
        start(Exchange::kSendFunction);
    }
};

// A name the operator did not choose may only be new: a file made there meanwhile stays.
TEST_F(OverTheLine, NewFileOnlyKeepsAFileMadeDuringTheFetch) {
    const std::string data = "twelve bytes";
    programmer.write("TAG00001.tiv", tagDataFile(data));
    startProgrammer();
    const WaitHook meanwhile(*exchange, [&](std::size_t threshold, int) {
        if (threshold == fileReplyLength(static_cast<long>(data.size()))) {
            pc.write("new.tiv", "made meanwhile");
        }
    });
    ExchangeRequest receive;
    receive.keepExisting = true;
    exchange->start(receive);
    settle();
    view.dialogAnswers.push_back(pcFile("new.tiv"));
    choose(0);

    expectFailure('D');
    EXPECT_NE(exchange->outcome().reason.find("new.tiv exists already"), std::string::npos)
        << exchange->outcome().reason;
    EXPECT_EQ(pc.read("new.tiv"), "made meanwhile");
    EXPECT_EQ(pc.listing(), "new.tiv");
}

// Parity or framing errors, or a reply that stops short, name the line settings as a possible
// cause; silence does not.
// Byte 0 of a status reply is the programmer's own, and byte 1 its letter, whatever it is.
TEST_F(OverTheLine, AReplyCutShortNamesTheLineSettingsAndAnyLetterIsTheProgrammers) {
    const std::string cause = MessageCatalog(Language::English).lookup(TextId::LineSettingsDiffer);
    simOptions.silentPhases.insert(DevicePhase::DirectoryStatus);
    startProgrammer();
    start(Exchange::kReceiveFunction);
    ASSERT_NO_FATAL_FAILURE(expectFailure('N'));
    EXPECT_EQ(view.boxes[0].causeLine, "");

    view = RecordingView{};
    ports.plan.noise = "U";  // a byte with a parity error
    ports.plan.noiseLineErrors = 1;
    start(Exchange::kReceiveFunction);
    ASSERT_NO_FATAL_FAILURE(expectFailure('N'));
    EXPECT_EQ(view.boxes[0].causeLine, cause);
    ports.plan = PortPlan{};

    restartWith([](SimulatorOptions& options) { options.truncate[DataReply::Directory] = 10; });
    start(Exchange::kReceiveFunction);
    ASSERT_NO_FATAL_FAILURE(expectFailure('N'));
    EXPECT_EQ(view.boxes[0].causeLine, cause);

    restartWith([](SimulatorOptions& options) { options.answers[DeviceCommand::Directory] = 7; });
    start(Exchange::kReceiveFunction);
    ASSERT_NO_FATAL_FAILURE(expectFailure('\x07'));
    EXPECT_EQ(exchange->causeLine(), "");

    // 'R' to a fetch after a pick from the list: the box does not say which file.
    restartWith([](SimulatorOptions& options) { options.answers[DeviceCommand::Fetch] = 'R'; });
    programmer.write("TAG00001.tiv", tagDataFile("gone"));
    fetch("TAG00001", pcFile("gone.tiv"));
    ASSERT_NO_FATAL_FAILURE(expectFailure('R'));
    EXPECT_EQ(view.boxes[0].causeLine, "The programmer holds no file TAG00001 (any more).");
}

// An empty file's confirmation is awaited for its line time (5 ms) and 100 ms more: with 10 ms
// a stored file was often reported as 'N'. A device gone during a send is named.
TEST_F(OverTheLine, AnEmptyFileSentAfterAnotherIsConfirmedAndAGoneDeviceNamed) {
    pc.write("NEWTAG.tiv", tagDataFile(std::string(100, 'd')));
    pc.write("ZERO.tiv", "abcd0000");
    pc.write("BIG.tiv", tagDataFile(std::string(3000, 's')));
    simOptions.pace = LinePace{9600, 'E', 1};  // BIG's data frame takes over three seconds
    startProgrammer();
    send("NEWTAG.tiv");
    EXPECT_EQ(exchange->outcome().letter(), '0');

    send("ZERO.tiv");
    EXPECT_EQ(exchange->outcome().letter(), '0');
    EXPECT_EQ(programmer.read("ZERO.tiv"), "abcd0000");

    view = RecordingView{};
    view.onProgress = [this](const TransferProgress& progress) {
        if (progress.done > 100) {
            stopProgrammer();
        }
    };
    send("BIG.tiv");

    expectFailure('N');
    EXPECT_EQ(view.boxes[0].causeLine, "The device " + devicePath() + " has gone.");
    EXPECT_EQ(exchange->causeLine(), view.boxes[0].causeLine);
    EXPECT_FALSE(programmer.holds("BIG.tiv"));
}

// A reply cut off part-way (a cable pulled gives no hang-up) is given up once the line has
// been silent for a while, not after the whole reply's time-out (500 s for 9999 bytes); the
// bar says the line is silent rather than a time left, and nothing is saved.
TEST_F(OverTheLine, AReplyThatStopsPartWayEndsWhenTheLineFallsSilent) {
    programmer.write("BIG00001.tiv", tagDataFile(std::string(9999, 'b')));
    simOptions.truncate[DataReply::File] = 100;
    startProgrammer();
    fetch("BIG00001", pcFile("big.tiv"));

    ASSERT_NO_FATAL_FAILURE(expectFailure('N'));
    EXPECT_EQ(view.boxes[0].causeLine,
              MessageCatalog(Language::English).lookup(TextId::ReplyStopped));
    ASSERT_FALSE(view.progress.empty());
    EXPECT_LT(view.progress.back().done, 9999u);
    EXPECT_TRUE(view.progress.back().silent);
    EXPECT_EQ(pc.listing(), "");
}

// The bar follows the bytes that have left the PC, and never runs ahead of the configured
// rate: while the line carries nothing it stays at the header, and once the frame has gone
// out it is full even before the programmer confirms it (here it never does, and the send
// ends with 'N').
TEST_F(OverTheLine, SendProgressFollowsTheBytesThatHaveLeftThePc) {
    pc.write("NEWTAG.tiv", tagDataFile(std::string(300, 'd')));  // three seconds for the reply
    simOptions.silentPhases.insert(DevicePhase::DataStatus);
    ports.plan.outputHeld = true;
    startProgrammer();
    send("NEWTAG.tiv");
    expectFailure('N');
    ASSERT_FALSE(view.progress.empty());
    for (const TransferProgress& shown : view.progress) {
        EXPECT_EQ(shown.done, 8u);
        EXPECT_EQ(shown.expected, 308u);
    }

    ports.plan.outputHeld = false;
    view = RecordingView{};
    send("NEWTAG.tiv");
    expectFailure('N');
    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.back().done, 308u);

    // A buffer on the way (here the pseudo-terminal's, which takes the whole frame at once)
    // does not move the bar ahead of the line: at 9600,E,1 a byte takes 11/9600 s. Timed
    // from before the send began, so the bound only ever errs on the generous side.
    pc.write("LONG.tiv", tagDataFile(std::string(1000, 'l')));
    restartWith([](SimulatorOptions& options) { options.pace = LinePace{9600, 'E', 1}; });
    const auto began = std::chrono::steady_clock::now();
    std::vector<std::size_t> ahead;
    view.onProgress = [&](const TransferProgress& shown) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - began);
        const std::size_t carried = static_cast<std::size_t>(elapsed.count() * 9600 / 11'000'000);
        if (shown.done > 8 + 1 + carried) {
            ahead.push_back(shown.done);
        }
    };
    send("LONG.tiv");
    EXPECT_EQ(exchange->outcome().letter(), '0');
    EXPECT_EQ(ahead, std::vector<std::size_t>{});
    EXPECT_EQ(view.progress.back().done, 1008u);
}

}  // namespace
}  // namespace dravolin::test
