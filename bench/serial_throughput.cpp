// How fast received bytes reach the client of a SerialPort, and what its monitor thread
// costs while the line is idle. The device side is the master of a pseudo-terminal.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial_port.h"

namespace {

using dravolin::LinkClient;
using dravolin::PortMap;
using dravolin::SerialPort;
using dravolin::WarningPresenter;

class Device {
public:
    Device() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        std::array<char, 128> name{};
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
            ptsname_r(master_, name.data(), name.size()) == 0) {
            path_ = name.data();
        }
    }
    ~Device() {
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const std::string& path() const { return path_; }

    void send(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (put <= 0) {
                return;
            }
            done += static_cast<std::size_t>(put);
        }
    }

    // Waits up to ten seconds for one byte from the PC.
    bool receiveOne() {
        pollfd entry{master_, POLLIN, 0};
        std::uint8_t byte = 0;
        return ::poll(&entry, 1, 10000) == 1 && ::read(master_, &byte, 1) == 1;
    }

private:
    int master_ = -1;
    std::string path_;
};

class CountingClient : public LinkClient {
public:
    void received(std::span<const std::uint8_t> run, std::size_t) override { bytes += run.size(); }
    void hungUp() override {}
    void frameLeft(std::size_t) override {}
    std::size_t bytes = 0;
};

class AnsweringPresenter : public WarningPresenter {
public:
    void presentWarning(std::uint64_t, const std::string&, const std::string&,
                        std::function<void()> answered) override {
        ++warnings;
        answered();
    }
    void withdrawWarning(std::uint64_t) override {}
    int warnings = 0;
};

// Runs the event loop until the client holds `count` bytes (or ten seconds have passed).
bool receiveUntil(const CountingClient& client, std::size_t count) {
    QDeadlineTimer deadline(10000);
    QTimer tick;
    tick.start(5);
    while (client.bytes < count) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct Link {
    Link() : port(presenter, mapFor(device.path())) {
        opened =
            port.openPort(client, 1, dravolin::LineTiming{57600, 'N', 1}) && port.startMonitoring();
        // Let the thread's first purge pass before the device speaks.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~Link() { port.closePort(); }

    static PortMap mapFor(const std::string& path) {
        PortMap map;
        map.map(1, path);
        return map;
    }

    Device device;
    AnsweringPresenter presenter;
    CountingClient client;
    SerialPort port;
    bool opened = false;
};

void BM_ReceiveThroughput(benchmark::State& state) {
    Link link;
    if (!link.opened) {
        state.SkipWithError("could not open the pseudo-terminal");
        return;
    }
    const std::vector<std::uint8_t> chunk(static_cast<std::size_t>(state.range(0)), 0xA5);
    for (auto _ : state) {
        const std::size_t target = link.client.bytes + chunk.size();
        std::thread writer([&] { link.device.send(chunk); });
        const bool complete = receiveUntil(link.client, target);
        writer.join();
        if (!complete) {
            state.SkipWithError("bytes did not arrive");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    state.counters["warnings"] = link.presenter.warnings;
}
BENCHMARK(BM_ReceiveThroughput)->Arg(64 * 1024)->Unit(benchmark::kMillisecond)->UseRealTime();

// One turn of the protocol at a time: the PC writes a one-byte frame, the device reads it
// and answers with a two-byte status reply, and the client waits for both bytes. The whole
// cost of a write, a port event and its hand-overs.
void BM_AnswerTurn(benchmark::State& state) {
    Link link;
    if (!link.opened) {
        state.SkipWithError("could not open the pseudo-terminal");
        return;
    }
    const std::vector<std::uint8_t> frame{0x02};
    const std::vector<std::uint8_t> answer{'0', '0'};
    for (auto _ : state) {
        const std::size_t target = link.client.bytes + answer.size();
        link.port.requestWrite(frame);
        if (!link.device.receiveOne()) {
            state.SkipWithError("the frame did not arrive");
            return;
        }
        link.device.send(answer);
        if (!receiveUntil(link.client, target)) {
            state.SkipWithError("the answer did not arrive");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_AnswerTurn)->Unit(benchmark::kMicrosecond)->UseRealTime();

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The interface thread sleeps for a second while the monitor thread watches a quiet line:
// the process's processor time over that second is what watching costs. With link=0 the
// same second is measured without any port open, as the floor to compare against.
void BM_IdleMonitorCpu(benchmark::State& state) {
    std::unique_ptr<Link> link;
    if (state.range(0) != 0) {
        link = std::make_unique<Link>();
        if (!link->opened) {
            state.SkipWithError("could not open the pseudo-terminal");
            return;
        }
    }
    double cpuSeconds = 0.0;
    for (auto _ : state) {
        const double before = processCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cpuSeconds += processCpuSeconds() - before;
    }
    state.counters["cpu_us_per_idle_s"] =
        cpuSeconds * 1e6 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IdleMonitorCpu)
    ->ArgName("link")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
