#pragma once

#include <string>

#include "protocol/unique_fd.h"

namespace dravolin {

// The master side of a pseudo-terminal pair. The PC opens the slave by its path; the
// simulated device reads and writes the master, never the slave (holding the slave open
// would keep the PC's exclusive mode set and lock out a PC that is not root).
class PseudoTerminal {
public:
    // Opens the pair and puts the slave in raw mode once, so that nothing the PC sends is
    // echoed or translated before the PC sets its own modes.
    bool open(std::string& error);
    void closeMaster() { master_.reset(); }

    int master() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }

private:
    bool makeSlaveRaw(std::string& error) const;

    UniqueFd master_;
    std::string slavePath_;
};

}  // namespace dravolin
