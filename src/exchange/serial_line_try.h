#pragma once

#include "core/port_settings.h"
#include "exchange/exchange.h"
#include "exchange/line_try.h"
#include "serial/serial_port.h"

namespace dravolin {

// A try of the search on the serial link: a directory exchange run by the same driver and
// machine as every other, on a port of its own whose one Com port stands for the device
// tried. It shows nothing; it ends at once when the device cannot be opened or the port
// reports line errors, and the observers (the protocol trace) hear each try as an exchange
// of function `find`.
class SerialLineTry : public LineTry {
public:
    explicit SerialLineTry(WarningPresenter& presenter);
    ~SerialLineTry() override;
    SerialLineTry(const SerialLineTry&) = delete;
    SerialLineTry& operator=(const SerialLineTry&) = delete;

    // Told of every try; must outlive this object or be removed first.
    void addObserver(ExchangeObserver& observer) { exchange_.addObserver(observer); }
    void removeObserver(ExchangeObserver& observer) { exchange_.removeObserver(observer); }

    void start(const TryRequest& request, Done done) override;
    void cancel() override;

private:
    void end();
    TryOutcome outcome() const;

    SerialPort port_;
    PortSettings settings_;
    ExchangeView view_;  // a try shows nothing: the search tells what it tries and finds
    Exchange exchange_;
    TryRequest request_;
    Done done_;
    unsigned tries_ = 0;
};

}  // namespace dravolin
