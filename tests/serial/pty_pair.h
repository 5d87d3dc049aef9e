#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dravolin {

// A pseudo-terminal whose master side plays the device; the serial link opens the slave
// side by its path.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool valid() const { return master_ >= 0; }
    const std::string& devicePath() const { return devicePath_; }

    // Writes everything the device side sends, waiting for room up to a generous bound.
    bool send(std::span<const std::uint8_t> bytes);
    bool send(std::string_view text);

    // Reads what the link wrote until `count` bytes have come or `timeoutMs` has passed.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs);

    // Reads whatever comes until the line has been quiet for `quietMs`.
    std::vector<std::uint8_t> receiveUntilQuiet(int quietMs);

    // The device goes away: the master side is closed.
    void hangUp();

private:
    int master_ = -1;
    std::string devicePath_;
};

}  // namespace dravolin
