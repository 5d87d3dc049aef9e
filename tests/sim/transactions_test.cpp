// The device's own refusals over a real pty (damaged frames, names it lacks or cannot take,
// a full memory): what the e2e suites, which set the answers, never see. Its fetch is theirs.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sim/simulated_programmer.h"
#include "support/pty_pair.h"
#include "support/test_folder.h"

namespace dravolin::test {
namespace {

// The PC's side: the master of a pseudo-terminal whose slave the programmer serves.
void send(PtyPair& pc, const Bytes& frame) {
    EXPECT_TRUE(pc.send(std::string(frame.begin(), frame.end())));
}

Bytes exchange(PtyPair& pc, const Bytes& frame, std::size_t count) {
    send(pc, frame);
    return bytesOf(pc.receive(count, 5000));
}

Bytes withWrongCheckByte(Bytes frame) {
    frame.back() ^= 0x5A;
    return frame;
}

// Refused commands get their letter and go no further; the device then takes the next one.
// Its memory is full: a new name is refused with S, a held one replaced.
TEST(Transactions, RefusalsGetTheirLetterAndGoNoFurtherAndAFullMemoryOnlyReplaces) {
    TestFolder folder;
    folder.write("TAG00001.tiv", tagDataFile("tag data"));
    folder.write("TWO.tiv", tagDataFile("2"));
    PtyPair pc;
    ASSERT_TRUE(pc.valid());
    SimulatorOptions options;
    options.files = folder.path();
    options.log = [](const std::string&) {};
    options.capacity = 2;
    options.serve = pc.devicePath();
    SimulatedProgrammer programmer(options);
    std::string error;
    ASSERT_TRUE(programmer.start(error)) << error;
    const Bytes header = bytesOf("HD010004");

    const std::pair<Bytes, char> refused[] = {
        {fetchRequest(bytesOf("TAG00002")), 'R'},
        {withWrongCheckByte(directoryRequest()), 'X'},
        {withWrongCheckByte(fetchRequest(bytesOf("TAG00001"))), 'X'},
        {withWrongCheckByte(transferAnnouncement("NEW", header)), 'X'}};
    for (const auto& [command, letter] : refused) {
        SCOPED_TRACE(command[0]);
        EXPECT_EQ(statusLetter(exchange(pc, command, 2)), letter);
        send(pc, goAhead());
        EXPECT_TRUE(pc.receive(SIZE_MAX, 200).empty()) << "a refused command went on";
    }
    EXPECT_EQ(statusLetter(exchange(pc, transferAnnouncement("THREE", header), 2)), 'S');
    // The data frame of a refused announcement is not taken either.
    send(pc, dataFrame(bytesOf("3")));
    EXPECT_TRUE(pc.receive(SIZE_MAX, 200).empty());

    EXPECT_EQ(exchange(pc, transferAnnouncement("TWO", header), 2), bytesOf("00"));
    EXPECT_EQ(statusLetter(exchange(pc, withWrongCheckByte(dataFrame(bytesOf("abcd"))), 2)), 'X');
    EXPECT_EQ(statusLetter(exchange(pc, transferAnnouncement("../x", header), 2)), 'W');
    EXPECT_EQ(folder.listing(), "TAG00001.tiv TWO.tiv");
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "x.tiv"));

    EXPECT_EQ(exchange(pc, transferAnnouncement("TWO", header), 2), bytesOf("00"));
    EXPECT_EQ(exchange(pc, dataFrame(bytesOf("abcd")), 2), bytesOf("00"));
    EXPECT_EQ(folder.read("TWO.tiv"), "HD010004abcd");
}

}  // namespace
}  // namespace dravolin::test
