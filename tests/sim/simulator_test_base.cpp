#include "simulator_test_base.h"

namespace dravolin::test {

SimulatorTestBase::SimulatorTestBase() {
    options_.files = folder_.path();
    options_.trace = true;
    options_.log = log_.sink();
}

void SimulatorTestBase::startProgrammer() {
    programmer_ = std::make_unique<SimulatedProgrammer>(options_);
    std::string error;
    ASSERT_TRUE(programmer_->start(error)) << error;
}

std::unique_ptr<PcSide> SimulatorTestBase::openPc() {
    const std::string opened = "-- line opened by the PC";
    const std::size_t before = log_.count(opened);
    auto pc = std::make_unique<PcSide>(programmer_->devicePath());
    EXPECT_TRUE(log_.waitForCount(opened, before + 1, PcSide::kPatience))
        << "the programmer did not notice the PC opening the line";
    return pc;
}

void SimulatorTestBase::closeAndWaitUntilSeen(std::unique_ptr<PcSide>& pc) {
    const std::string closed = "-- line closed by the PC";
    const std::size_t before = log_.count(closed);
    pc.reset();
    EXPECT_TRUE(log_.waitForCount(closed, before + 1, PcSide::kPatience))
        << "the programmer did not notice the PC closing the line";
}

Bytes SimulatorTestBase::listDirectory(const PcSide& pc, std::size_t entries) const {
    const Bytes status = pc.exchange(directoryRequest(), kStatusReplyLength);
    EXPECT_EQ(statusLetter(status), kStatusAccepted);
    return pc.exchange(goAhead(), directoryReplyLength(static_cast<long>(entries)));
}

std::string SimulatorTestBase::sendFile(const PcSide& pc, const std::string& name,
                                        const std::string& file) const {
    const Bytes bytes = bytesOf(file);
    const Bytes announcement =
        transferAnnouncement(name, std::span<const std::uint8_t>(bytes).first(kHeaderLength));
    std::string letters(1, statusLetter(pc.exchange(announcement, kStatusReplyLength)));
    if (letters[0] != kStatusAccepted) {
        return letters + '\0';
    }
    const Bytes data(bytes.begin() + kHeaderLength, bytes.end());
    letters += statusLetter(pc.exchange(dataFrame(data), kStatusReplyLength));
    return letters;
}

}  // namespace dravolin::test
