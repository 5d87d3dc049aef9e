// Processor time of the window during a paced receive: the window offscreen (or on the
// display QT_QPA_PLATFORM names) fetches a 9999-byte file from voska-sim, run as a process
// of its own, at 57600 8E1. Reported: this process's processor time (user + system) over the
// elapsed time of the fetch, in percent of one core. The goal is at most 3 %.
#include <benchmark/benchmark.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <stdexcept>

#include "exchange/exchange.h"
#include "tests/support/waiting.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"
#include "ui/transfer_dialog.h"

namespace dravolin {
namespace {

constexpr int kDataBytes = 9999;

// Of the whole process, or of the calling thread (the interface thread) alone.
double processorSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The simulated programmer as the operator starts it: its own process, paced at 57600 8E1.
class PacedSimulator {
public:
    explicit PacedSimulator(const QString& folder) {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QStringLiteral(VOSKA_SIM_PATH), {"--files", folder, "--pace", "57600,E,1"});
        if (!process_.waitForStarted() || !process_.waitForReadyRead(5000)) {
            throw std::runtime_error("voska-sim did not start");
        }
        devicePath_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~PacedSimulator() {
        process_.terminate();
        process_.waitForFinished(2000);
    }
    const QString& devicePath() const { return devicePath_; }

private:
    QProcess process_;
    QString devicePath_;
};

// Looking for the end of a wait every 50 ms costs next to nothing against the fetch it
// waits for (the tests' 5 ms would show in the measured share).
constexpr int kLookEveryMs = 50;

void configureLine(TransferDialog& window, const QString& device) {
    auto* settings = window.findChild<PortSettingsDialog*>();
    WindowDriver(window).menuItem("configure")->trigger();
    settings->findChild<QAbstractButton*>("com1")->click();
    QLineEdit* field = settings->findChild<QComboBox*>("deviceList")->lineEdit();
    field->selectAll();
    QTest::keyClicks(field, device);
    settings->findChild<QAbstractButton*>("baud57600")->click();
    settings->findChild<QAbstractButton*>("parityEven")->click();
    settings->findChild<QAbstractButton*>("stopBits1")->click();
    settings->findChild<QAbstractButton*>("okButton")->click();
}

void BM_PacedReceiveProcessorShare(benchmark::State& state) {
    QTemporaryDir device;
    QTemporaryDir disk;
    {
        QFile file(device.filePath("LARGEST.tiv"));
        const QByteArray data(kDataBytes, 'L');
        if (!file.open(QIODevice::WriteOnly) || file.write("TB019999" + data) != 8 + kDataBytes) {
            state.SkipWithError("cannot write the device's file");
            return;
        }
    }
    PacedSimulator simulator(device.path());
    auto record = std::make_shared<ScriptedPrompts::Record>();
    TransferDialog window({}, std::make_unique<ScriptedPrompts>(record));
    window.exchange().setOutcomePause(0);
    window.show();
    static_cast<void>(QTest::qWaitForWindowExposed(&window));
    configureLine(window, simulator.devicePath());
    WindowDriver ui(window);
    double share = 0;
    double worst = 0;
    double interfaceShare = 0;  // processor seconds of the interface thread, times 100
    double totalElapsed = 0;
    for (auto _ : state) {
        ui.chooseFunction(0);
        ui.start()->trigger();
        if (!waitUntil([&] { return window.exchange().awaitingFileChoice(); }, 10000,
                       kLookEveryMs)) {
            state.SkipWithError("the directory was not listed");
            break;
        }
        const QString target = disk.filePath("got.tiv");
        QFile::remove(target);
        record->fileAnswers.push_back(target);
        const auto started = std::chrono::steady_clock::now();
        const double cpuBefore = processorSeconds();
        const double interfaceBefore = processorSeconds(RUSAGE_THREAD);
        WindowDriver::pick(ui.fileList(), 0);
        static_cast<void>(
            waitUntil([&] { return !window.exchange().busy(); }, 30000, kLookEveryMs));
        const double cpu = processorSeconds() - cpuBefore;
        interfaceShare += 100.0 * (processorSeconds(RUSAGE_THREAD) - interfaceBefore);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (window.exchange().outcome().letter() != '0' ||
            QFileInfo(target).size() != 8 + kDataBytes) {
            state.SkipWithError("the fetch failed");
            break;
        }
        state.SetIterationTime(elapsed);
        totalElapsed += elapsed;
        const double percent = 100.0 * cpu / elapsed;
        share += percent;
        worst = std::max(worst, percent);
    }
    state.counters["cpu_percent"] = share / static_cast<double>(state.iterations());
    state.counters["worst_cpu_percent"] = worst;
    // The part of it that the interface thread took; the rest is the serial monitor's.
    state.counters["interface_thread_cpu_percent"] = interfaceShare / totalElapsed;
}
BENCHMARK(BM_PacedReceiveProcessorShare)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dravolin
