#pragma once

#include <termios.h>

#include <string>
#include <string_view>

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
    bool send(std::string_view bytes);

    // Reads what the link wrote until `count` bytes have come or `timeoutMs` has passed.
    std::string receive(std::size_t count, int timeoutMs);

    // The settings of the link's side, as whoever opens it finds and leaves them (the
    // master side reads and writes those of the slave).
    bool lineSettings(termios& settings) const;
    bool setLineSettings(const termios& settings);

    // The device goes away: the master side is closed.
    void hangUp();

private:
    int master_ = -1;
    std::string devicePath_;
};

}  // namespace dravolin
