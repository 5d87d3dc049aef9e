#pragma once

#include <memory>
#include <mutex>

#include "serial/port_opening.h"
#include "serial/serial_port.h"

namespace dravolin {

// The tests' window into a SerialPort: its current opening, its device and its lock.
class SerialPortProbe {
public:
    explicit SerialPortProbe(SerialPort& port) : port_(port) {}

    PortOpening& opening() { return *port_.opening_; }
    int portFd() { return port_.opening_->port().fd(); }

    bool portLockIsFree() {
        std::mutex& lock = port_.opening_->portLock();
        if (!lock.try_lock()) {
            return false;
        }
        lock.unlock();
        return true;
    }

    static int runningMonitorThreads() { return PortOpening::runningMonitorThreads(); }

private:
    SerialPort& port_;
};

}  // namespace dravolin
