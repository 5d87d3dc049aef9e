#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/port_opening.h"
#include "serial/serial_port.h"
#include "support/pty_pair.h"
#include "support/recording_presenter.h"

namespace dravolin {

// Runs the event loop until `done` holds or `timeoutMs` has passed; false on time-out.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    QTimer tick;  // wakes the loop now and then to look at `done` again
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop for a while, so that anything that is going to arrive does.
inline void pumpEvents(int milliseconds) {
    waitUntil([] { return false; }, milliseconds);
}

// Like waitUntil, but without running the event loop (deliveries stay pending).
inline bool sleepUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// This test program's name as the system gives it to anyone who asks who holds a device.
inline std::string thisProgramsName() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The tests' window into a SerialPort: its current opening.
class SerialPortProbe {
public:
    static PortOpening& opening(SerialPort& port) { return *port.opening_; }
};

// A SerialPort whose COM2 is the slave side of a fresh pseudo-terminal, with a recording
// owner and presenter. Every test must leave no monitor thread running behind it.
class SerialLinkTest : public ::testing::Test, public PortOwner {
protected:
    static constexpr int kPort = 2;

    void SetUp() override {
        ASSERT_TRUE(pty.valid());
        ASSERT_EQ(PortOpening::runningMonitorThreads(), 0);
        PortMap map;
        map.map(kPort, pty.devicePath());
        port = std::make_unique<SerialPort>(presenter, map);
    }

    void TearDown() override {
        port.reset();
        EXPECT_TRUE(sleepUntil([] { return PortOpening::runningMonitorThreads() == 0; }))
            << "a monitor thread did not end";
        pumpEvents(10);
    }

    // Records every message; every one must name our port.
    long portMessage(unsigned message, std::uintptr_t firstParameter,
                     std::intptr_t secondParameter) override {
        EXPECT_EQ(secondParameter, kPort);
        messages.push_back(message);
        if (message == MSG_RX_CHAR) {
            bytes.push_back(static_cast<char>(firstParameter));
        }
        return 0;
    }

    int openLink(unsigned eventMask = EV_RXCHAR | EV_CTS, int baud = 9600, char parity = 'E',
                 int stopBits = 1) {
        return port->openPort(this, kPort, baud, parity, 8, stopBits, eventMask, 512, 1);
    }

    // Starts the monitor thread and waits until it has purged the line and watches it, so
    // that what the device sends from now on is not thrown away by that first purge.
    bool startMonitoring() {
        if (!port->startMonitoring()) {
            return false;
        }
        return sleepUntil([&] { return currentOpening().loopPasses() >= 1; });
    }

    void requestWrite(const std::string& frame) {
        port->setWriteLength(static_cast<std::uint32_t>(frame.size()));
        port->requestWrite(std::vector<std::uint8_t>(frame.begin(), frame.end()));
    }

    PortOpening& currentOpening() { return SerialPortProbe::opening(*port); }
    int portFd() { return currentOpening().port().fd(); }

    std::string expectedWarning(const std::string& callName, int errorCode) const {
        return "WARNING:  " + callName + " Failed with the following error: \n" +
               comm::errorText(errorCode) + "\nPort: " + std::to_string(kPort) + "\n";
    }

    PtyPair pty;
    RecordingPresenter presenter;
    std::unique_ptr<SerialPort> port;
    std::vector<unsigned> messages;  // what the owner was sent, in order
    std::string bytes;               // the bytes of MSG_RX_CHAR
};

}  // namespace dravolin
