#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "serial/platform/comm.h"

namespace dravolin::test {

// What a test wants of the next port it is given; the counts of a plan are used up as
// the port goes along. Hooks run on the monitor thread.
struct PortPlan {
    int staleEventCompletions = 0;  // waits that complete at once with nothing received
    int readFailures = 0;           // reads that fail (EIO) with the device still there
    // Runs before the port discards what it holds: as it is opened, as the monitor thread
    // starts and before every write.
    std::function<void(comm::Port& device)> beforePurge;
    // Bytes the line adds (noise, an echo) once `noiseAfter` bytes have been read; they
    // come as a read of their own, `noiseLineErrors` of them with parity or framing errors.
    std::string noise;
    std::size_t noiseAfter = 0;
    std::size_t noiseLineErrors = 0;
    // The line carries nothing: every byte of the last write stays in the output queue.
    bool outputHeld = false;
};

// The system's serial port behind a test's plan: the faults a device rarely shows on
// demand, steps at chosen points of the monitor loop, and counts of what the loop did.
class ScriptedPort : public comm::Port {
public:
    ScriptedPort(PortPlan plan, std::shared_ptr<std::atomic<int>> alive);
    ~ScriptedPort() override;

    std::optional<LinkError> open(const std::string& devicePath) override {
        return real_->open(devicePath);
    }
    void close() override { real_->close(); }
    bool isOpen() const override { return real_->isOpen(); }
    void handBack() override { real_->handBack(); }
    std::optional<LinkError> configure(const LineTiming& line) override {
        return real_->configure(line);
    }
    bool hungUp() const override { return real_->hungUp(); }

    bool purge() override;
    bool bytesWaiting(std::size_t& count) override;
    bool bytesQueuedForOutput(std::size_t& count) override;
    comm::WaitStart beginEventWait(comm::Event& completion) override;
    int waitForAny(std::span<comm::Event* const> events,
                   std::optional<std::chrono::milliseconds> timeout) override;
    comm::ReadResult read(std::size_t most, std::vector<std::uint8_t>& run,
                          const comm::Event* abandon) override;
    comm::WriteResult write(std::span<const std::uint8_t> bytes,
                            const comm::Event* abandon) override;

    // What the monitor thread has done so far; read from any thread.
    int eventWaitsBegun() const { return eventWaitsBegun_.load(); }
    int sleeps() const { return sleeps_.load(); }
    int reads() const { return reads_.load(); }
    int writes() const { return writes_.load(); }

private:
    bool noiseDue() const;

    std::unique_ptr<comm::Port> real_;
    PortPlan plan_;  // monitor thread only, once it runs
    std::shared_ptr<std::atomic<int>> alive_;
    std::size_t bytesRead_ = 0;
    std::size_t lastWriteSize_ = 0;
    std::atomic<int> eventWaitsBegun_{0};
    std::atomic<int> sleeps_{0};
    std::atomic<int> reads_{0};
    std::atomic<int> writes_{0};
    std::atomic<bool> noiseRead_{false};
};

// Gives each opening of a SerialPort a ScriptedPort with the plan as it stands then.
// Ports may outlive this object (a monitor thread lets go of its own a moment after
// it is halted); alive() counts them.
class ScriptedPorts {
public:
    comm::PortFactory factory();

    PortPlan plan;  // for the next opening

    // The port of the latest opening; valid while that opening lives.
    ScriptedPort& latest() const { return *latest_; }
    // Ports not yet destroyed: an opening lives as long as its monitor thread or its
    // SerialPort holds it, so 0 means every monitor thread has let go.
    int alive() const { return alive_->load(); }

private:
    std::shared_ptr<std::atomic<int>> alive_ = std::make_shared<std::atomic<int>>(0);
    ScriptedPort* latest_ = nullptr;
};

}  // namespace dravolin::test
