#include <gtest/gtest.h>

#include "support/exchange_fixture.h"

namespace dravolin::test {
namespace {

class Send : public ExchangeFixture {
protected:
    void send(const std::string& name) {
        view.dialogAnswers.push_back(pcFile(name));
        start(Exchange::kSendFunction);
    }
};

TEST_F(Send, AnnouncesTheFileAndSendsItsDataInOneFrame) {
    const std::string data(100, 'd');
    pc.write("NEWTAG.tiv", tagDataFile(data, "HEAD") + "bytes beyond the length are not sent");
    startProgrammer();
    send("NEWTAG.tiv");

    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_TRUE(view.boxes.empty());
    const std::string header = "HEAD0100";
    EXPECT_EQ(
        framesReceived(),
        (std::vector<Bytes>{transferAnnouncement("NEWTAG", Bytes(header.begin(), header.end())),
                            dataFrame(Bytes(data.begin(), data.end()))}));
    EXPECT_EQ(programmer.read("NEWTAG.tiv"), tagDataFile(data, "HEAD"));
    // 100 data bytes: one second for each status reply.
    EXPECT_EQ(waits, (std::vector<Wait>{{2, 1000}, {2, 1000}}));
    EXPECT_EQ(view.statusTexts[1], TextId::StatusPleaseWait);
    // The progress counts the file's bytes, as the receive does (not the frame's 102), and
    // ends at all of them once the programmer confirmed the data. It begins with the header,
    // which went with the announcement.
    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.front().done, 8u);
    EXPECT_EQ(view.progress.back().done, 108u);
    EXPECT_EQ(view.progress.back().expected, 108u);
    EXPECT_EQ(view.progressHidden, 1);
}

TEST_F(Send, ZeroLengthAndLargestFiles) {
    pc.write("ZERO.tiv", "abcd0000");
    const std::string largest(9999, '\xA5');
    pc.write("BIG.tiv", tagDataFile(largest));
    startProgrammer();

    send("BIG.tiv");
    EXPECT_EQ(exchange->lastOutcome(), '0');
    EXPECT_EQ(framesReceived().at(1).size(), 10001u);
    EXPECT_EQ(view.progress.back().expected, 10007u);
    EXPECT_EQ(programmer.read("BIG.tiv"), tagDataFile(largest));

    // An empty file's confirmation is awaited for the line time of its data frame and the
    // reply (4 bytes at 9600 8E1: 5 ms) plus 100 ms for the device and an adapter. It used
    // to be 10 ms, and the programmer's stored file was then often reported as 'N'.
    send("ZERO.tiv");
    EXPECT_EQ(waits.back(), (Wait{2, 105}));
    EXPECT_EQ(exchange->lastOutcome(), '0');
    ASSERT_EQ(framesReceived().size(), 4u);
    EXPECT_EQ(framesReceived()[3], (Bytes{0x02, 0x02}));
    EXPECT_EQ(programmer.read("ZERO.tiv"), "abcd0000");
}

// The bar follows the bytes that have left the PC, not the configured rate: while the
// line carries nothing it stays at the header, and once the frame has gone out it is full
// even before the programmer confirms it (here it never does, and the send ends with 'N').
TEST_F(Send, ProgressFollowsTheBytesThatHaveLeftThePc) {
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
}

}  // namespace
}  // namespace dravolin::test
