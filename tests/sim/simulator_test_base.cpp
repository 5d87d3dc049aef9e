#include "simulator_test_base.h"

namespace dravolin::test {

SimulatorTestBase::SimulatorTestBase() {
    options_.files = folder_.path();
    options_.log = [](const std::string&) {};
}

void SimulatorTestBase::startProgrammer() {
    programmer_ = std::make_unique<SimulatedProgrammer>(options_);
    std::string error;
    ASSERT_TRUE(programmer_->start(error)) << error;
}

std::string SimulatorTestBase::sendFile(const PcSide& pc, const std::string& name,
                                        const std::string& file) const {
    const Bytes bytes = bytesOf(file);
    const Bytes announcement =
        transferAnnouncement(name, std::span<const std::uint8_t>(bytes).first(kHeaderLength));
    std::string letters(1, statusLetter(pc.exchange(announcement, kStatusReplyLength)));
    if (letters[0] != kStatusAccepted) {
        return letters;
    }
    const Bytes data(bytes.begin() + kHeaderLength, bytes.end());
    return letters + statusLetter(pc.exchange(dataFrame(data), kStatusReplyLength));
}

}  // namespace dravolin::test
