#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "protocol/reply_waits.h"
#include "serial/link_client.h"
#include "serial/open_failure_cause.h"
#include "serial/platform/comm.h"
#include "serial/port_lock.h"
#include "serial/port_map.h"
#include "serial/warning_presenter.h"

namespace dravolin {

class EventWatch;
class PortOpening;

// The driver of the one serial port through which the program talks to the programmer.
// openPort, startMonitoring, requestWrite and closePort run on the interface thread; each
// opening gets its own monitor thread that alone reads and writes the port and tells the
// client what the line brings (LinkClient), on the interface thread's event loop.
class SerialPort {
public:
    // `portFactory` makes the device of each opening; empty means the system's serial port.
    explicit SerialPort(WarningPresenter& presenter, PortMap portMap = {},
                        comm::PortFactory portFactory = {});
    virtual ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device Com `portNumber` stands for and sets it to `line` (rate, parity and
    // stop bits; 8 data bits always); `client` hears what the line brings until closePort.
    // False when the device could not be had: openFailure() says why, and nothing is shown.
    // A step of setting the line that fails is shown as a warning; the port stays open.
    bool openPort(LinkClient& client, int portNumber, const LineTiming& line);
    bool startMonitoring();
    // Hands `frame` to the monitor thread, which writes it whole; returns at once. What was
    // received before it is dropped, and the client hears as the frame leaves.
    void requestWrite(std::span<const std::uint8_t> frame);
    // The reply awaited counts `bytes` since the frame last requested (0: none awaited).
    void expectReply(std::size_t bytes);
    // Tells the client now what has come from the line, rather than when the event loop
    // next looks.
    void takeArrivals();
    void closePort();

    void setPortMap(PortMap portMap);
    const PortMap& portMap() const;

    // Why the last openPort could not open the device; nothing when it could. The UUCP
    // lock files are taken in PortLock::defaultFolder() as it is at each opening.
    const std::optional<OpenFailure>& openFailure() const { return openFailure_; }
    // Why the device was used without a lock file, said the first time it happened; empty
    // while every opening could take its lock.
    const std::string& lockNotice() const { return lockNotice_; }

private:
    void endRunningMonitor();
    bool claimDevice(PortOpening& opening, const std::string& devicePath);
    void watchArrivals();

    static void monitorThread(PortOpening& opening);
    static bool beginWaitForPortEvent(PortOpening& opening);
    static int waitForSignals(PortOpening& opening, bool portArmed,
                              std::optional<std::chrono::milliseconds> timeout);
    static bool performWrite(PortOpening& opening);
    static bool measureOutput(PortOpening& opening);

    WarningPresenter& presenter_;
    PortMap portMap_;
    comm::PortFactory portFactory_;
    // Set by a monitor thread when it has something for the interface thread; watched by
    // the notifier on the interface thread's event loop.
    std::unique_ptr<comm::Event> arrivals_;
    std::unique_ptr<EventWatch> arrivalWatch_;
    std::shared_ptr<PortOpening> opening_;
    std::optional<OpenFailure> openFailure_;
    std::string lockNotice_;
    PortLock lock_;  // held while the device is open
};

}  // namespace dravolin
