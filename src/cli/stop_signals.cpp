#include "cli/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

namespace dravolin {

namespace {

std::atomic<int> signalPipe{-1};

extern "C" void noteStopSignal(int signal) {
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    const int pipe = signalPipe.load();
    if (pipe >= 0) {
        // A full pipe already holds a stop request: losing this one loses nothing.
        static_cast<void>(!::write(pipe, &number, 1));
    }
    errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals(StopHandler stop) : stop_(std::move(stop)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;  // the signals keep their usual effect: the program ends at once
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    signalPipe.store(writeEnd_);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { takeSignals(); });

    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInterrupt_);
    sigaction(SIGTERM, &action, &previousTerminate_);
}

StopSignals::~StopSignals() {
    if (!notifier_) {
        return;
    }
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
    signalPipe.store(-1);
    notifier_.reset();
    ::close(readEnd_);
    ::close(writeEnd_);
}

void StopSignals::takeSignals() {
    unsigned char number = 0;
    while (::read(readEnd_, &number, 1) == 1) {
        if (stop_) {
            stop_(number);
        }
    }
}

}  // namespace dravolin
