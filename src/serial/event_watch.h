#pragma once

#include <functional>
#include <memory>

#include <QObject>

#include "serial/platform/comm.h"

namespace dravolin {

// Calls `onSet` on the thread that made it, from its event loop, whenever `event` is set.
// The Qt side of a comm::Event: a socket notifier on its descriptor (POSIX), a Windows event
// notifier on its handle (event_watch_win32.cpp). The event must outlive the watch.
class EventWatch {
public:
    EventWatch(const comm::Event& event, std::function<void()> onSet);
    ~EventWatch();
    EventWatch(const EventWatch&) = delete;
    EventWatch& operator=(const EventWatch&) = delete;

private:
    std::unique_ptr<QObject> notifier_;
};

}  // namespace dravolin
