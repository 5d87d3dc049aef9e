#include "serial/event_watch.h"

#include <QWinEventNotifier>

namespace dravolin {

EventWatch::EventWatch(const comm::Event& event, std::function<void()> onSet) {
    auto notifier = std::make_unique<QWinEventNotifier>(event.handle());
    QObject::connect(notifier.get(), &QWinEventNotifier::activated, notifier.get(),
                     [onSet = std::move(onSet)] { onSet(); });
    notifier_ = std::move(notifier);
}

EventWatch::~EventWatch() = default;

}  // namespace dravolin
