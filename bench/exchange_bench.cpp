// Measures the exchange as the operator meets it:
//  1. processor time of the interface thread during a one-second wait with no reply;
//  2. a 9999-byte fetch and send on a paced 57600-baud 8E1 line, against the line time of
//     the bytes exchanged;
//  3. the same on an unpaced pseudo-terminal, in bytes per second.
#include <benchmark/benchmark.h>
#include <time.h>

#include <QCoreApplication>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "exchange/exchange.h"
#include "serial/serial_port.h"
#include "sim/simulated_programmer.h"
#include "support/recording_presenter.h"
#include "support/recording_view.h"
#include "support/test_folder.h"
#include "support/waiting.h"

namespace dravolin {
namespace {

constexpr std::size_t kLargestData = 9999;
// Bytes on the line for a fetch (request, status, go-ahead, file reply) and a send
// (announcement, status, data frame, status) of the largest file.
constexpr double kFetchLineBytes = 10 + 2 + 1 + (kLargestData + 9);
constexpr double kSendLineBytes = 18 + 2 + (kLargestData + 2) + 2;
constexpr double kBitsPerByte8E1 = 11;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One programmer, one port and one exchange, as the window has them.
class Bench {
public:
    explicit Bench(SimulatorOptions options) {
        folder_.write("LARGEST.tiv", test::tagDataFile(std::string(kLargestData, 'L')));
        pc_.write("SENDME.tiv", test::tagDataFile(std::string(kLargestData, 'S')));
        options.files = folder_.path();
        programmer_ = std::make_unique<SimulatedProgrammer>(options);
        std::string error;
        if (!programmer_->start(error)) {
            throw std::runtime_error(error);
        }
        PortMap map;
        map.map(1, programmer_->devicePath());
        port_ = std::make_unique<SerialPort>(warnings_, map);
        exchange_ = std::make_unique<Exchange>(view_, *port_, settings_);
        exchange_->setOutcomePause(0);
    }

    Exchange& exchange() { return *exchange_; }
    RecordingView& view() { return view_; }

    // Runs the event loop until the exchange has ended or its directory waits for a pick.
    void settle() {
        waitUntil([this] { return !exchange_->busy() || exchange_->awaitingFileChoice(); }, 600000);
    }

    // Lists the directory (not timed) and times the fetch of the largest file.
    double timedFetch() {
        exchange_->startExchange(Exchange::kReceiveFunction);
        settle();
        view_.dialogAnswers.push_back((pc_.path() / "fetched.tiv").string());
        const double start = wallSeconds();
        exchange_->chooseListedFile(0);
        settle();
        return wallSeconds() - start;
    }

    double timedSend() {
        view_.dialogAnswers.push_back((pc_.path() / "SENDME.tiv").string());
        const double start = wallSeconds();
        exchange_->startExchange(Exchange::kSendFunction);
        settle();
        return wallSeconds() - start;
    }

private:
    test::TestFolder folder_;
    test::TestFolder pc_;
    RecordingView view_;
    RecordingPresenter warnings_;
    PortSettings settings_;
    std::unique_ptr<SimulatedProgrammer> programmer_;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<Exchange> exchange_;
};

void BM_IdleWaitProcessorTime(benchmark::State& state) {
    SimulatorOptions options;
    options.silentPhases.insert(DevicePhase::DirectoryStatus);
    Bench bench(options);
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = threadCpuSeconds();
        const double wallStart = wallSeconds();
        bench.exchange().startExchange(Exchange::kReceiveFunction);  // one 1000 ms wait
        bench.settle();
        cpu += threadCpuSeconds() - cpuStart;
        wall += wallSeconds() - wallStart;
        if (bench.exchange().outcome().letter() != 'N') {
            state.SkipWithError("the wait did not time out");
        }
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    state.counters["wall_s_per_wait"] = wall / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IdleWaitProcessorTime)->Iterations(3)->Unit(benchmark::kMillisecond);

// Bytes per second over all iterations and, on the paced line, the time taken against the
// line time of the bytes exchanged (1.0 is the line's own speed).
void reportTransfers(benchmark::State& state, double totalSeconds, double lineBytes, bool paced) {
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["bytes_per_second"] = lineBytes * iterations / totalSeconds;
    if (paced) {
        const double lineTime = lineBytes * kBitsPerByte8E1 / 57600.0;
        state.counters["ratio_to_line_time"] = totalSeconds / iterations / lineTime;
    }
}

// Times `transfer` (a Bench member) on a paced or unpaced line.
void runTransfer(benchmark::State& state, double (Bench::*transfer)(), double lineBytes,
                 bool paced) {
    SimulatorOptions options;
    if (paced) {
        options.pace = LinePace{57600, 'E', 1};
    }
    Bench bench(options);
    double total = 0;
    for (auto _ : state) {
        const double seconds = (bench.*transfer)();
        if (bench.exchange().outcome().letter() != '0') {
            state.SkipWithError("the transfer failed");
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    reportTransfers(state, total, lineBytes, paced);
}

void runFetch(benchmark::State& state, bool paced) {
    runTransfer(state, &Bench::timedFetch, kFetchLineBytes, paced);
}

void runSend(benchmark::State& state, bool paced) {
    runTransfer(state, &Bench::timedSend, kSendLineBytes, paced);
}

void BM_FetchLargestPaced57600(benchmark::State& state) {
    runFetch(state, true);
}
void BM_SendLargestPaced57600(benchmark::State& state) {
    runSend(state, true);
}
void BM_FetchLargestUnpaced(benchmark::State& state) {
    runFetch(state, false);
}
void BM_SendLargestUnpaced(benchmark::State& state) {
    runSend(state, false);
}

BENCHMARK(BM_FetchLargestPaced57600)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SendLargestPaced57600)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchLargestUnpaced)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SendLargestUnpaced)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dravolin

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
