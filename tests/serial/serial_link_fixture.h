#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/event_waits.h"
#include "serial/pty_pair.h"
#include "serial/recording_owner.h"
#include "serial/recording_presenter.h"
#include "serial/serial_port.h"
#include "serial/serial_port_probe.h"

namespace dravolin {

// A SerialPort whose COM2 is the slave side of a fresh pseudo-terminal, with a recording
// owner and presenter. Every test must leave no monitor thread running behind it.
class SerialLinkTest : public ::testing::Test {
protected:
    static constexpr int kPort = 2;

    void SetUp() override {
        ASSERT_TRUE(pty.valid());
        ASSERT_EQ(SerialPortProbe::runningMonitorThreads(), 0);
        PortMap map;
        map.map(kPort, pty.devicePath());
        port = std::make_unique<SerialPort>(presenter, map);
    }

    void TearDown() override {
        port.reset();
        EXPECT_TRUE(sleepUntil([] { return SerialPortProbe::runningMonitorThreads() == 0; }))
            << "a monitor thread did not end";
        pumpEvents(10);
    }

    int openLink(unsigned eventMask = EV_RXCHAR | EV_CTS, int baud = 9600, char parity = 'E',
                 int stopBits = 1) {
        return port->openPort(&owner, kPort, baud, parity, 8, stopBits, eventMask, 512, 1);
    }

    // Starts the monitor thread and waits until it has purged the line and watches it, so
    // that what the device sends from now on is not thrown away by that first purge.
    bool startMonitoring() {
        if (!port->startMonitoring()) {
            return false;
        }
        PortOpening& opening = probe().opening();
        return sleepUntil([&] { return opening.loopPasses() >= 1; });
    }

    void requestWrite(const std::vector<std::uint8_t>& frame) {
        port->setWriteLength(static_cast<std::uint32_t>(frame.size()));
        port->requestWrite(frame);
    }

    SerialPortProbe probe() { return SerialPortProbe(*port); }

    std::string expectedWarning(const std::string& callName, int errorCode) const {
        return "WARNING:  " + callName + " Failed with the following error: \n" +
               comm::errorText(errorCode) + "\nPort: " + std::to_string(kPort) + "\n";
    }

    PtyPair pty;
    RecordingPresenter presenter;
    RecordingOwner owner;
    std::unique_ptr<SerialPort> port;
};

inline std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace dravolin
