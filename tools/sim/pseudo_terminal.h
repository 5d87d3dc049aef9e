#pragma once

#include <string>

#include "protocol/unique_fd.h"

namespace dravolin {

// The device's end of the line. Usually the master side of a pseudo-terminal pair: the PC
// opens the slave by its path; the simulated device reads and writes the master, never the
// slave (holding the slave open would keep the PC's exclusive mode set and lock out a PC
// that is not root). Or a terminal whose other end someone else holds, such as the host
// side of an emulator's serial line, which the PC reaches through the emulated UART.
class PseudoTerminal {
public:
    // Opens the pair and puts the slave in raw mode once, so that nothing the PC sends is
    // echoed or translated before the PC sets its own modes.
    bool open(std::string& error);
    // Opens an existing terminal as the device's end, in raw mode: its line discipline
    // would otherwise echo the PC's frames back and translate their bytes.
    bool openExisting(const std::string& path, std::string& error);
    void closeMaster();

    // The descriptor the device reads and writes.
    int master() const { return master_.get(); }
    // The path the PC opens (for an existing terminal: the path it was opened by).
    const std::string& slavePath() const { return slavePath_; }
    bool isExisting() const { return existing_; }

private:
    bool makeSlaveRaw(std::string& error) const;
    static bool makeRaw(int fd, std::string& error);

    UniqueFd master_;
    std::string slavePath_;
    bool existing_ = false;
};

}  // namespace dravolin
