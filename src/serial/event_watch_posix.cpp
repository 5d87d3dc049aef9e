#include "serial/event_watch.h"

#include <QSocketNotifier>

namespace dravolin {

EventWatch::EventWatch(const comm::Event& event, std::function<void()> onSet) {
    auto notifier = std::make_unique<QSocketNotifier>(event.fd(), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [onSet = std::move(onSet)] { onSet(); });
    notifier_ = std::move(notifier);
}

EventWatch::~EventWatch() = default;

}  // namespace dravolin
