#pragma once

#include <signal.h>

#include <functional>
#include <memory>

class QSocketNotifier;
class QWinEventNotifier;

namespace dravolin {

// SIGINT and SIGTERM for a program that runs a Qt event loop. The handler only writes the
// signal's number into a pipe, which is all a handler may safely do; the event loop reads
// it and calls `stop` on the interface thread, where an exchange can be cancelled cleanly.
// A signal that comes while no event loop runs is taken at the next wait. One at a time.
// On Windows (stop_signals_win32.cpp) Ctrl+C and Ctrl+Break come as SIGINT and closing the
// console as SIGTERM, through a console control handler and an event.
class StopSignals {
public:
    using StopHandler = std::function<void(int signal)>;

    explicit StopSignals(StopHandler stop);
    ~StopSignals();  // the signals' previous handling comes back
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    void takeSignals();

    StopHandler stop_;
#ifdef _WIN32
    std::unique_ptr<QWinEventNotifier> notifier_;
#else
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
#endif
};

}  // namespace dravolin
