#include <gtest/gtest.h>

#include "e2e/exchange_fixture.h"

namespace dravolin::test {
namespace {

using Wait = std::pair<std::size_t, int>;

class Send : public ExchangeFixture {
protected:
    void send(const std::string& name) {
        view.dialogAnswers.push_back(pcFile(name));
        exchange->startExchange(Exchange::kSendFunction);
    }
};

TEST_F(Send, AnnouncesTheFileAndSendsItsDataInOneFrame) {
    const std::string data(100, 'd');
    pc.write("NEWTAG.tiv", tagDataFile(data, "HEAD") + "bytes beyond the length are not sent");
    startProgrammer();
    send("NEWTAG.tiv");

    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_TRUE(view.boxes.empty());
    const auto frames = framesReceived();
    ASSERT_EQ(frames.size(), 2u);
    const std::string header = "HEAD0100";
    EXPECT_EQ(frames[0], transferAnnouncement("NEWTAG", Bytes(header.begin(), header.end())));
    EXPECT_EQ(frames[1], dataFrame(Bytes(data.begin(), data.end())));
    EXPECT_EQ(programmer.read("NEWTAG.tiv"), tagDataFile(data, "HEAD"));
    // 100 data bytes: one second for each status reply.
    EXPECT_EQ(waits, (std::vector<Wait>{{2, 1000}, {2, 1000}}));
    ASSERT_EQ(view.dialogs.size(), 1u);
    EXPECT_EQ(view.dialogs[0].mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(view.dialogs[0].title, TextId::OpenDialogTitle);
    EXPECT_EQ(view.dialogs[0].initialName, "");
    EXPECT_EQ(view.dialogs[0].flags, 6u);
    EXPECT_EQ(view.dialogs[0].filterIndex, 2);
    EXPECT_EQ(view.statusTexts.front(), TextId::StatusChooseFileToSend);
    EXPECT_EQ(view.statusTexts[1], TextId::StatusPleaseWait);
    EXPECT_FALSE(exchange->busy());
}

TEST_F(Send, FileOfLengthZeroSendsTwoStxAndWaitsTheShortestTime) {
    pc.write("ZERO.tiv", "abcd0000");
    startProgrammer();
    send("ZERO.tiv");

    EXPECT_EQ(exchange->lastOutcome(), '0');
    const auto frames = framesReceived();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], (Bytes{0x02, 0x02}));
    EXPECT_EQ(waits.back(), (Wait{2, 10}));
    EXPECT_EQ(programmer.read("ZERO.tiv"), "abcd0000");
}

TEST_F(Send, LargestFileGoesWhole) {
    const std::string data(9999, '\xA5');
    pc.write("BIG.tiv", tagDataFile(data));
    startProgrammer();
    send("BIG.tiv");
    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_EQ(framesReceived().at(1).size(), 10001u);
    EXPECT_EQ(programmer.read("BIG.tiv"), tagDataFile(data));
}

TEST_F(Send, MemoryFullAnswerEndsBeforeAnyData) {
    pc.write("NEWTAG.tiv", tagDataFile("x"));
    simOptions.answers[DeviceCommand::Announce] = 'S';
    startProgrammer();
    send("NEWTAG.tiv");

    EXPECT_EQ(exchange->lastOutcome(), 'S');
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, TextId::MemoryFull);
    EXPECT_EQ(framesReceived().size(), 1u);  // the announcement, no data frame
    EXPECT_FALSE(programmer.holds("NEWTAG.tiv"));
}

TEST_F(Send, MalformedOrMissingFilesEndWithDAndNothingReachesTheDevice) {
    pc.write("SHORT.tiv", "abcd0050only a few bytes");
    pc.write("NEG.tiv", "abcd-001xxxxx");
    pc.write("TINY.tiv", "abc");
    startProgrammer();
    for (const char* name : {"SHORT.tiv", "NEG.tiv", "TINY.tiv", "MISSING.tiv"}) {
        SCOPED_TRACE(name);
        view = RecordingView{};
        send(name);
        EXPECT_EQ(exchange->lastOutcome(), 'D');
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, TextId::FileOpenError);
        EXPECT_FALSE(exchange->failureDetail().empty());
        EXPECT_FALSE(exchange->busy());
    }
    EXPECT_TRUE(waits.empty());
    EXPECT_TRUE(framesReceived().empty());
}

TEST_F(Send, CancelledDialogEndsAsSuccessAndSendsNothing) {
    startProgrammer();
    exchange->startExchange(Exchange::kSendFunction);  // no answer queued: cancelled
    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.statusTexts[view.statusTexts.size() - 2], TextId::StatusSuccess);
    EXPECT_TRUE(framesReceived().empty());
    EXPECT_FALSE(exchange->busy());
}

TEST_F(Send, FailuresOfEitherPhase) {
    struct Fault {
        const char* what;
        std::function<void(SimulatorOptions&)> set;
        char outcome;
        std::size_t phasesWaited;
    };
    const Fault faults[] = {
        {"no answer to the announcement",
         [](auto& o) { o.silentPhases.insert(DevicePhase::AnnounceStatus); }, 'N', 1},
        {"no answer to the data", [](auto& o) { o.silentPhases.insert(DevicePhase::DataStatus); },
         'N', 2},
        {"data refused", [](auto& o) { o.answers[DeviceCommand::Data] = 'X'; }, 'X', 2},
    };
    pc.write("NEWTAG.tiv", tagDataFile("0123456789"));
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        view = RecordingView{};
        waits.clear();
        simOptions = SimulatorOptions{};
        fault.set(simOptions);
        startProgrammer();
        send("NEWTAG.tiv");
        EXPECT_EQ(exchange->lastOutcome(), fault.outcome);
        EXPECT_EQ(waits.size(), fault.phasesWaited);
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, *outcomeBoxText(fault.outcome));
        EXPECT_FALSE(exchange->busy());
    }
}

TEST_F(Send, EveryStatusLetterEndsWithItsOwnText) {
    pc.write("NEWTAG.tiv", tagDataFile("x"));
    const std::pair<char, TextId> letters[] = {
        {'B', TextId::BccInterfaceError},   {'D', TextId::FileOpenError},
        {'N', TextId::DeviceNotResponding}, {'Q', TextId::CharacterDelay},
        {'R', TextId::FileDoesNotExist},    {'S', TextId::MemoryFull},
        {'T', TextId::MemoryFullToo},       {'V', TextId::WrongSettings},
        {'W', TextId::ProtocolFormat},      {'X', TextId::BccError},
    };
    for (const auto& [letter, text] : letters) {
        SCOPED_TRACE(letter);
        view = RecordingView{};
        simOptions = SimulatorOptions{};
        simOptions.answers[DeviceCommand::Announce] = letter;
        startProgrammer();
        send("NEWTAG.tiv");
        EXPECT_EQ(exchange->lastOutcome(), letter);
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, text);
        EXPECT_EQ(view.boxes[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(view.statusTexts[view.statusTexts.size() - 2], TextId::StatusFailure);
    }
}

TEST_F(Send, UnknownLetterShowsNoBoxButTheFailureText) {
    pc.write("NEWTAG.tiv", tagDataFile("x"));
    simOptions.answers[DeviceCommand::Announce] = 'A';
    startProgrammer();
    send("NEWTAG.tiv");
    EXPECT_EQ(exchange->lastOutcome(), 'A');
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.statusTexts[view.statusTexts.size() - 2], TextId::StatusFailure);
    EXPECT_EQ(view.lastStatus(), TextId::StatusIdle);
}

}  // namespace
}  // namespace dravolin::test
