#pragma once

#include <cstddef>
#include <functional>
#include <utility>

#include "exchange/exchange.h"
#include "exchange/exchange_observer.h"

namespace dravolin::test {

// Calls `call` with the threshold and time-out of every wait of `exchange` as it begins,
// for as long as the hook lives.
class WaitHook : public ExchangeObserver {
public:
    using Call = std::function<void(std::size_t threshold, int milliseconds)>;

    WaitHook(Exchange& exchange, Call call) : exchange_(exchange), call_(std::move(call)) {
        exchange_.addObserver(*this);
    }
    ~WaitHook() override { exchange_.removeObserver(*this); }
    WaitHook(const WaitHook&) = delete;
    WaitHook& operator=(const WaitHook&) = delete;

    void waitBegan(std::size_t threshold, int milliseconds) override {
        call_(threshold, milliseconds);
    }

private:
    Exchange& exchange_;
    Call call_;
};

}  // namespace dravolin::test
