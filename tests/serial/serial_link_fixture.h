#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "support/pty_pair.h"
#include "support/recording_presenter.h"
#include "support/scripted_port.h"
#include "support/waiting.h"

namespace dravolin {

// This test program's name as the system gives it to anyone who asks who holds a device.
inline std::string thisProgramsName() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// A SerialPort whose COM2 is a fresh pseudo-terminal behind a ScriptedPort, with a recording
// owner and presenter; no test may leave a monitor thread running.
class SerialLinkTest : public ::testing::Test, public PortOwner {
protected:
    static constexpr int kPort = 2;

    void SetUp() override {
        ASSERT_TRUE(pty.valid());
        PortMap map;
        map.map(kPort, pty.devicePath());
        port = std::make_unique<SerialPort>(presenter, map, ports.factory());
    }

    void TearDown() override {
        port.reset();
        EXPECT_TRUE(sleepUntil([&] { return ports.alive() == 0; }))
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

    // Starts the monitor thread and waits until it watches the line, past its first purge.
    bool startMonitoring() {
        if (!port->startMonitoring()) {
            return false;
        }
        return sleepUntil([&] { return device().sleeps() >= 1; });
    }

    bool openAndMonitor(unsigned eventMask = EV_RXCHAR | EV_CTS) {
        return openLink(eventMask) == 1 && startMonitoring();
    }

    void requestWrite(const std::string& frame) {
        port->setWriteLength(static_cast<std::uint32_t>(frame.size()));
        port->requestWrite(std::vector<std::uint8_t>(frame.begin(), frame.end()));
    }

    // Why `serialPort` could not open its device, in one English line; empty when it could.
    static std::string openFailureOf(const SerialPort& serialPort) {
        return serialPort.openFailure() ? serialPort.openFailure()->english() : std::string();
    }

    // The port of the current opening, as the monitor thread uses it.
    test::ScriptedPort& device() { return ports.latest(); }

    std::string expectedWarning(const std::string& callName, int errorCode) const {
        return "WARNING:  " + callName + " Failed with the following error: \n" +
               comm::errorText(errorCode) + "\nPort: " + std::to_string(kPort) + "\n";
    }

    PtyPair pty;
    RecordingPresenter presenter;
    test::ScriptedPorts ports;  // set ports.plan before openLink for the next opening
    std::unique_ptr<SerialPort> port;
    std::vector<unsigned> messages;  // what the owner was sent, in order
    std::string bytes;               // the bytes of MSG_RX_CHAR
};

}  // namespace dravolin
