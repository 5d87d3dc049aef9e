#pragma once

#include <chrono>
#include <string>

#include "protocol/frames.h"
#include "protocol/unique_fd.h"
#include "support/test_folder.h"

namespace dravolin::test {

using namespace std::chrono_literals;

// The PC's end of the line in these tests (the programmer makes the line raw itself); reads
// replies with generous deadlines.
class PcSide {
public:
    static constexpr auto kPatience = 5s;

    // Opens the slave; fails the calling test when it cannot.
    explicit PcSide(const std::string& devicePath);

    void send(const Bytes& bytes) const;
    // Reads until `count` bytes have come or `patience` has passed; returns what came.
    Bytes receive(std::size_t count, std::chrono::milliseconds patience = kPatience) const;
    // Everything that arrives within `window`; for checking that nothing (more) comes.
    Bytes receiveFor(std::chrono::milliseconds window) const { return receive(SIZE_MAX, window); }
    Bytes exchange(const Bytes& frame, std::size_t count) const;
    // Waits until the line reports hang-up; false when the patience passes first.
    bool waitForHangup() const;

private:
    UniqueFd fd_;
};

Bytes fetchRequestFor(const std::string& name);  // name padded with spaces to 8 bytes
Bytes withWrongCheckByte(Bytes frame);

}  // namespace dravolin::test
