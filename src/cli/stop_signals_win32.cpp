#include "cli/stop_signals.h"

#include <windows.h>

#include <QWinEventNotifier>

#include <atomic>

// The Windows twin: the console calls its control handler on a thread of its own. The
// handler notes which stop it was and sets an event; the event loop sees the event and
// calls `stop` on the interface thread, as a pipe does on Linux.

namespace dravolin {

namespace {

std::atomic<HANDLE> stopEvent{nullptr};
std::atomic<int> pendingSignal{0};

BOOL WINAPI noteConsoleStop(DWORD kind) {
    const HANDLE event = stopEvent.load();
    if (event == nullptr) {
        return FALSE;  // the usual handling: the program ends at once
    }
    switch (kind) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            pendingSignal.store(SIGINT);
            break;
        default:  // the console is closed, the user logs off, the system shuts down
            pendingSignal.store(SIGTERM);
            break;
    }
    SetEvent(event);
    return TRUE;
}

}  // namespace

StopSignals::StopSignals(StopHandler stop) : stop_(std::move(stop)) {
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return;
    }
    notifier_ = std::make_unique<QWinEventNotifier>(event);
    QObject::connect(notifier_.get(), &QWinEventNotifier::activated, notifier_.get(),
                     [this] { takeSignals(); });
    stopEvent.store(event);
    SetConsoleCtrlHandler(noteConsoleStop, TRUE);
}

StopSignals::~StopSignals() {
    if (!notifier_) {
        return;
    }
    SetConsoleCtrlHandler(noteConsoleStop, FALSE);
    const HANDLE event = stopEvent.exchange(nullptr);
    notifier_.reset();
    CloseHandle(event);
}

void StopSignals::takeSignals() {
    const HANDLE event = stopEvent.load();
    if (event != nullptr) {
        ResetEvent(event);
    }
    const int signal = pendingSignal.exchange(0);
    if (signal != 0 && stop_) {
        stop_(signal);
    }
}

}  // namespace dravolin
