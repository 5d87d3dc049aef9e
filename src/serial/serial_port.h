#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "serial/open_failure_cause.h"
#include "serial/platform/comm.h"
#include "serial/port_lock.h"
#include "serial/port_map.h"
#include "serial/port_owner.h"
#include "serial/warning_presenter.h"

namespace dravolin {

class EventWatch;
class PortOpening;
class RunReceiver;

// The driver of the one serial port through which the program talks to the programmer.
// openPort, startMonitoring, setWriteLength, requestWrite and closePort run on the
// interface thread; each opening gets its own monitor thread that alone reads and writes
// the port and hands every received byte to the owner.
//
// (The public interface below is agreed with the exchange and the window; the private
// part belongs to the implementation.)
class SerialPort {
public:
    // `portFactory` makes the device of each opening; empty means the system's serial port.
    explicit SerialPort(WarningPresenter& presenter, PortMap portMap = {},
                        comm::PortFactory portFactory = {});
    virtual ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // 1 when the port was opened (also when a later configuration step failed), 0 when it
    // could not be opened; a failure to open is not shown.
    int openPort(PortOwner* owner, int portNumber, int baud, char parity, int dataBits,
                 int stopBits, unsigned eventMask, unsigned writeBufferSize, int rtsControl);
    bool startMonitoring();
    void setWriteLength(std::uint32_t length);
    void requestWrite(std::span<const std::uint8_t> frame);  // copies writeLength bytes
    // How many bytes of the frame last requested have left the PC (written, and no longer
    // in the output queue) as last measured; each call has the monitor thread measure
    // again, so that a caller asking now and then sees the frame go out.
    std::size_t frameBytesSent();
    // The reply awaited counts `bytes` since the frame last requested (0: none awaited).
    void expectReply(std::size_t bytes);
    void closePort();
    void haltMonitoring();

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
    void takeArrivals();
    static void configurePort(PortOpening& opening, const std::string& settings, int rtsControl);
    static void reportError(PortOpening& opening, const char* callName);

    static void monitorThread(PortOpening& opening);
    static bool lineIsDead(PortOpening& opening);
    static bool beginWaitForPortEvent(PortOpening& opening);
    static int waitForSignals(PortOpening& opening, bool portArmed);
    static void handlePortEvent(PortOpening& opening, RunReceiver& receiver);
    static void performWrite(PortOpening& opening, std::uint32_t length);
    static void measureOutput(PortOpening& opening);

    WarningPresenter& presenter_;
    PortMap portMap_;
    comm::PortFactory portFactory_;
    // Set by a monitor thread when it has something for the interface thread; watched by
    // the notifier on the interface thread's event loop.
    std::unique_ptr<comm::Event> arrivals_;
    std::unique_ptr<EventWatch> arrivalWatch_;
    std::shared_ptr<PortOpening> opening_;
    std::uint32_t writeLength_ = 0;
    std::optional<OpenFailure> openFailure_;
    std::string lockNotice_;
    PortLock lock_;  // held while the device is open
};

}  // namespace dravolin
