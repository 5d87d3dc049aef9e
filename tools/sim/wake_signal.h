#pragma once

#include <string>

#include "protocol/unique_fd.h"

namespace dravolin {

// An eventfd that the serving thread watches in every poll, so that stop() wakes it at
// once instead of waiting for a time-out.
class WakeSignal {
public:
    bool open(std::string& error);
    void raise();
    int fd() const { return fd_.get(); }

private:
    UniqueFd fd_;
};

}  // namespace dravolin
