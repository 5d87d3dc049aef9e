// voska-sim: the simulated programmer as a program, for demos and scripts.

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/program_version.h"
#include "sim/simulated_programmer.h"
#include "sim/simulator_arguments.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// How often the program looks whether serving has ended on its own (hang-up, failure)
// while it waits for a signal.
constexpr long kStatePollNanoseconds = 100'000'000;

void complain(const std::string& text) {
    std::fprintf(stderr, "voska-sim: %s\n", text.c_str());
}

// SIGINT and SIGTERM are taken synchronously by the main thread; blocked before the
// serving thread starts, so that thread inherits the mask and never sees them.
sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

int serveUntilStopped(dravolin::SimulatedProgrammer& programmer, const sigset_t& signals) {
    const timespec pause{0, kStatePollNanoseconds};
    for (;;) {
        if (::sigtimedwait(&signals, nullptr, &pause) > 0) {
            programmer.stop();
            return kExitOk;
        }
        switch (programmer.state()) {
            case dravolin::SimulatorState::HungUp:
                complain(programmer.stateMessage());
                programmer.stop();
                return kExitOk;
            case dravolin::SimulatorState::Failed:
                complain("stopped: " + programmer.stateMessage());
                programmer.stop();
                return kExitFailure;
            default:
                break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = dravolin::parseSimulatorArguments(arguments);
    if (parsed.ok && (parsed.helpAsked || parsed.versionAsked)) {
        const std::string text = parsed.helpAsked
                                     ? dravolin::simulatorHelp()
                                     : "voska-sim " + std::string(dravolin::kProgramVersion) + "\n";
        if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
            complain(std::string("cannot write to standard output: ") + std::strerror(errno));
            return kExitFailure;
        }
        return kExitOk;
    }
    if (!parsed.ok) {
        complain(parsed.error);
        std::fputs("Try 'voska-sim --help' for more information.\n", stderr);
        return kExitUsage;
    }

    const sigset_t signals = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    dravolin::SimulatedProgrammer programmer(parsed.options);
    std::string error;
    if (!programmer.start(error)) {
        complain(error);
        return kExitFailure;
    }
    // Whoever started us learns the path from this line only; without it, serving is useless.
    if (std::printf("%s\n", programmer.devicePath().c_str()) < 0 || std::fflush(stdout) != 0) {
        complain(std::string("cannot write the device path to standard output: ") +
                 std::strerror(errno));
        programmer.stop();
        return kExitFailure;
    }
    return serveUntilStopped(programmer, signals);
}
