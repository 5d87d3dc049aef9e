#include "serial/event_watch.h"

#include <windows.h>

#include <QMetaObject>

#include <thread>

// The Windows twin: a small thread waits for the event and hands each setting to the
// event loop, then waits until it has been taken before it looks again. Plain Win32 waits,
// rather than the thread pool's, so that a manual-reset event set again while the last
// one is being taken is never missed (wine's thread-pool waits were seen to miss it).

namespace dravolin {

namespace {

class EventRelay : public QObject {
public:
    EventRelay(HANDLE event, std::function<void()> onSet)
        : event_(event),
          onSet_(std::move(onSet)),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          taken_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        thread_ = std::thread([this] { relay(); });
    }
    ~EventRelay() override {
        SetEvent(stop_);
        thread_.join();
        CloseHandle(stop_);
        CloseHandle(taken_);
    }
    EventRelay(const EventRelay&) = delete;
    EventRelay& operator=(const EventRelay&) = delete;

private:
    // Until stopped: wait for the event, have the event loop call onSet, wait for that.
    void relay() {
        for (;;) {
            const HANDLE setOrStop[2] = {stop_, event_};
            if (WaitForMultipleObjects(2, setOrStop, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                return;
            }
            QMetaObject::invokeMethod(
                this,
                [this] {
                    onSet_();
                    SetEvent(taken_);
                },
                Qt::QueuedConnection);
            const HANDLE takenOrStop[2] = {stop_, taken_};
            if (WaitForMultipleObjects(2, takenOrStop, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                return;
            }
        }
    }

    HANDLE event_;
    std::function<void()> onSet_;
    HANDLE stop_;
    HANDLE taken_;
    std::thread thread_;
};

}  // namespace

EventWatch::EventWatch(const comm::Event& event, std::function<void()> onSet)
    : notifier_(std::make_unique<EventRelay>(event.handle(), std::move(onSet))) {}

EventWatch::~EventWatch() = default;

}  // namespace dravolin
