// Measures how fast the window answers the operator and the line:
//  1. from the programmer hanging up in the middle of the largest file's reply to the 'N'
//     box (the reply's own time-out would be 50 ms a byte, about 500 s);
//  2. from a click on Cancel in the middle of the same reply, on a paced 57600-baud line,
//     to the status line saying so, and to the idle window after the outcome's pause.
// The window runs offscreen with the file dialogs answered by the program.
#include <benchmark/benchmark.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "exchange/exchange.h"
#include "sim/simulated_programmer.h"
#include "support/test_folder.h"
#include "support/waiting.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"
#include "ui/transfer_dialog.h"

namespace dravolin {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kLargestData = 9999;
constexpr std::size_t kHangUpAfter = 5000;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The window, noting when the outcomes that matter here reach the operator.
class TimedWindow : public TransferDialog {
public:
    using TransferDialog::TransferDialog;

    void showState(const ExchangeState& state) override {
        if (state.status.id != shownStatus_) {
            shownStatus_ = state.status.id;
            if (shownStatus_ == TextId::StatusCancelled) {
                cancelledAt = Clock::now();
            } else if (shownStatus_ == TextId::StatusIdle) {
                idleAt = Clock::now();
            }
        }
        TransferDialog::showState(state);
    }

    void showBox(const ExchangeBox& box, Closed closed) override {
        if (box.kind == ExchangeBox::Kind::Outcome) {
            boxAt = Clock::now();
            boxHadCause = !box.lines.empty();
        }
        TransferDialog::showBox(box, std::move(closed));
    }

    Clock::time_point cancelledAt;
    Clock::time_point idleAt;
    Clock::time_point boxAt;
    bool boxHadCause = false;

private:
    TextId shownStatus_ = TextId::StatusStartUp;
};

class Bench {
public:
    Bench() {
        folder_.write("LARGEST.tiv", test::tagDataFile(std::string(kLargestData, 'L')));
        record_->fileAnswers.clear();
    }

    std::unique_ptr<SimulatedProgrammer> programmer(SimulatorOptions options) {
        options.files = folder_.path();
        options.log = [](const std::string&) {};
        auto started = std::make_unique<SimulatedProgrammer>(options);
        std::string error;
        if (!started->start(error)) {
            throw std::runtime_error(error);
        }
        return started;
    }

    std::unique_ptr<TimedWindow> window(const std::string& devicePath) {
        PortMap map;
        map.map(1, devicePath);
        auto shown = std::make_unique<TimedWindow>(map, std::make_unique<ScriptedPrompts>(record_));
        shown->show();
        return shown;
    }

    // Lists the directory and fetches the largest file from `fetchFrom`.
    void fetch(TimedWindow& window, const std::string& fetchFrom) {
        record_->fileAnswers.push_back(QString::fromStdString((pc_.path() / "got.tiv").string()));
        window.exchange().startExchange(Exchange::kReceiveFunction);
        waitUntil([&window] { return window.exchange().awaitingFileChoice(); }, 60000);
        WindowDriver(window).chooseDeviceForCom1(QString::fromStdString(fetchFrom));
        window.exchange().chooseListedFile(0);
        waitUntil([&window] { return !window.exchange().busy(); }, 60000);
    }

private:
    test::TestFolder folder_;
    test::TestFolder pc_;
    std::shared_ptr<ScriptedPrompts::Record> record_ = std::make_shared<ScriptedPrompts::Record>();
};

void BM_HangUpToOutcome(benchmark::State& state) {
    Bench bench;
    auto lister = bench.programmer({});
    auto window = bench.window(lister->devicePath());
    window->exchange().setOutcomePause(0);
    double total = 0;
    double worst = 0;
    for (auto _ : state) {
        SimulatorOptions dying;
        dying.hangupAfter = HangupPoint{DataReply::File, kHangUpAfter};
        auto programmer = bench.programmer(dying);
        // The hang-up is noticed from outside the event loop, which is busy with the wait.
        std::atomic<bool> watching{true};
        std::atomic<Clock::rep> hungUpAt{0};
        std::thread watcher([&] {
            while (watching && hungUpAt == 0) {
                if (programmer->state() == SimulatorState::HungUp) {
                    hungUpAt = Clock::now().time_since_epoch().count();
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
        bench.fetch(*window, programmer->devicePath());
        watching = false;
        watcher.join();
        if (window->exchange().outcome().letter() != 'N' || !window->boxHadCause || hungUpAt == 0) {
            state.SkipWithError("the hang-up did not end the fetch with 'N' and its cause");
            break;
        }
        const double ms =
            millisecondsBetween(Clock::time_point(Clock::duration(hungUpAt.load())), window->boxAt);
        state.SetIterationTime(ms / 1000.0);
        total += ms;
        worst = std::max(worst, ms);
        WindowDriver(*window).chooseDeviceForCom1(QString::fromStdString(lister->devicePath()));
    }
    state.counters["mean_ms"] = total / static_cast<double>(state.iterations());
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_HangUpToOutcome)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_CancelToIdleWindow(benchmark::State& state) {
    Bench bench;
    SimulatorOptions paced;
    paced.pace = LinePace{57600, 'E', 1};
    auto programmer = bench.programmer(paced);
    auto window = bench.window(programmer->devicePath());
    auto* bar = window->findChild<QProgressBar*>("progress");
    auto* cancel = window->findChild<QPushButton*>("cancel");
    double toCancelled = 0;
    double toIdle = 0;
    for (auto _ : state) {
        Clock::time_point clickedAt;
        // A third into the file reply the operator clicks Cancel.
        QMetaObject::Connection connection =
            QObject::connect(bar, &QProgressBar::valueChanged, window.get(), [&](int value) {
                if (bar->maximum() > 1000 && value > bar->maximum() / 3 &&
                    clickedAt == Clock::time_point()) {
                    QTimer::singleShot(0, window.get(), [&] {
                        clickedAt = Clock::now();
                        cancel->click();
                    });
                }
            });
        bench.fetch(*window, programmer->devicePath());
        QObject::disconnect(connection);
        if (!window->exchange().outcome().cancelled() || clickedAt == Clock::time_point()) {
            state.SkipWithError("the fetch was not cancelled");
            break;
        }
        const double idleMs = millisecondsBetween(clickedAt, window->idleAt);
        toCancelled += millisecondsBetween(clickedAt, window->cancelledAt);
        toIdle += idleMs;
        state.SetIterationTime(idleMs / 1000.0);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["to_cancelled_ms"] = toCancelled / iterations;
    state.counters["to_idle_ms"] = toIdle / iterations;
}
BENCHMARK(BM_CancelToIdleWindow)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dravolin
