#pragma once

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <vector>

#include "exchange/exchange_observer.h"
#include "exchange/exchange_record.h"
#include "exchange/line_try.h"
#include "protocol/frames.h"
#include "serial/port_owner.h"
#include "serial/serial_port.h"

namespace dravolin {

// A try of the search on the serial link: the directory request, its status reply, the
// go-ahead and the directory, each awaited with a timer on the Qt event loop (no nested
// loop). It ends early when the bytes received cannot be the reply awaited or the port
// reports line errors. The port is opened and closed as by every exchange (lock file,
// settings put back), and the observers hear each try as an exchange of function `find`.
class SerialLineTry : public LineTry, private PortOwner {
public:
    explicit SerialLineTry(WarningPresenter& presenter);
    ~SerialLineTry() override;
    SerialLineTry(const SerialLineTry&) = delete;
    SerialLineTry& operator=(const SerialLineTry&) = delete;

    // Told of every try; must outlive this object or be removed first.
    void addObserver(ExchangeObserver& observer);
    void removeObserver(ExchangeObserver& observer);

    void start(const TryRequest& request, Done done) override;
    void cancel() override;

private:
    enum class Phase { Idle, Status, Header, Entries, Ending };

    long portMessage(unsigned message, std::uintptr_t firstParameter,
                     std::intptr_t secondParameter) override;
    void judgeArrivals();
    void reportArrivals();
    void waitEnded();
    void sendFrame(const Bytes& frame);
    void awaitReply(Phase phase, std::size_t bytes, int milliseconds);
    void endWith(TryOutcome outcome);
    void finish();
    void beginRecord();
    void notify(const std::function<void(ExchangeObserver&)>& call);

    SerialPort port_;
    QTimer replyTimer_;
    QTimer endTimer_;  // ends a try on the event loop, outside the port's delivery
    std::vector<ExchangeObserver*> observers_;

    TryRequest request_;
    Done done_;
    Phase phase_ = Phase::Idle;
    std::size_t awaited_ = 0;
    Bytes received_;
    std::size_t reported_ = 0;
    long directoryCount_ = 0;
    bool linkOpen_ = false;
    TryOutcome outcome_;
    ExchangeRecord record_;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace dravolin
