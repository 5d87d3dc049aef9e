#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "exchange/exchange_record.h"

namespace dravolin {

// Told what an exchange does on the line, for the transfer log and the protocol trace.
// Every call comes on the interface thread, from inside the exchange; an observer must
// return quickly and never wait, or it would change the timing on the line.
class ExchangeObserver {
public:
    virtual ~ExchangeObserver() = default;

    // The record holds the function, the device, the line settings and the start time.
    virtual void exchangeStarted(const ExchangeRecord&) {}
    // The port was opened (or could not be: `opened` false) and its queues purged.
    virtual void linkOpened(bool /*opened*/) {}
    virtual void linkClosed() {}
    virtual void frameSent(std::span<const std::uint8_t>) {}
    // Reply bytes that arrived since the last call, in order.
    virtual void bytesReceived(std::span<const std::uint8_t>) {}
    virtual void waitTimedOut(std::size_t /*awaited*/, std::size_t /*received*/,
                              int /*milliseconds*/) {}
    // A reply that had begun brought no byte for `milliseconds`: it is given up.
    virtual void replyStalled(std::size_t /*awaited*/, std::size_t /*received*/,
                              int /*milliseconds*/) {}
    virtual void lineHungUp() {}
    // A wait for `awaited` reply bytes begins, with its time-out.
    virtual void waitBegan(std::size_t /*awaited*/, int /*milliseconds*/) {}
    // A wait for a reply has ended: nothing happens on the line until the next frame, so
    // this is the time for slow work such as writing to a file.
    virtual void waitEnded() {}
    // Once per exchange, with its outcome and duration.
    virtual void exchangeEnded(const ExchangeRecord&) {}
};

}  // namespace dravolin
