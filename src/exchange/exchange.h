#pragma once

#include <QTimer>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/port_settings.h"
#include "exchange/exchange_view.h"
#include "protocol/frames.h"
#include "serial/port_owner.h"

namespace dravolin {

class SerialPort;

// The exchange with the programmer: its state, the three transactions and the reporting of
// their outcome. Everything runs on the interface thread; a transaction runs to its end
// inside the call that starts it and waits for replies in a nested event loop, so the
// window keeps painting and the received bytes keep arriving meanwhile.
class Exchange : public PortOwner {
public:
    static constexpr std::size_t kBufferSize = 16484;
    static constexpr int kReceiveFunction = 0;
    static constexpr int kSendFunction = 1;
    static constexpr unsigned kEventMask = EV_RXCHAR | EV_CTS;
    static constexpr unsigned kWriteBufferSize = 512;
    static constexpr int kRtsControl = 1;
    static constexpr int kOutcomePauseMs = 2500;
    static constexpr int kShortestTimerMs = 10;

    Exchange(ExchangeView& view, SerialPort& port, const PortSettings& settings);
    ~Exchange() override;
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Start (menu item or F5) with the function list's selection: 0 receive, 1 send. Does
    // nothing while an exchange runs or when the selection names no function.
    void startExchange(int function);

    // The operator chose entry `selection` of the listed directory. Does nothing unless the
    // directory is listed and waiting for that choice.
    void chooseListedFile(int selection);

    void requestDirectory();
    void fetchFile(int selection);
    void sendFile();
    void finishExchange(char code);

    void openLink();
    void closeLink();
    void sendFrame(std::size_t length);  // from txBuffer
    bool waitForReply(std::size_t threshold, int milliseconds);

    long portMessage(unsigned message, std::uintptr_t firstParameter,
                     std::intptr_t secondParameter) override;

    bool busy() const { return busy_; }
    bool waiting() const { return waiting_; }
    bool awaitingFileChoice() const { return awaitingFileChoice_; }
    char lastOutcome() const { return lastOutcome_; }

    // Why the last exchange ended with a local failure ('D', 'W'): a sentence for a log or a
    // terminal; empty otherwise. The window shows the catalogue text only.
    const std::string& failureDetail() const { return failureDetail_; }

    // Whether a fetched file may only be a new file (nothing at all at its path) rather
    // than replace what the operator chose: for a name the operator did not give.
    void setKeepExistingFiles(bool keep) { keepExistingFiles_ = keep; }

    // The pause that holds an outcome on screen; a terminal needs none.
    void setOutcomePause(int milliseconds) { outcomePauseMs_ = milliseconds; }

    // Told the threshold and time-out of every wait as it begins (for tests and tracing).
    using WaitObserver = std::function<void(std::size_t threshold, int milliseconds)>;
    void setWaitObserver(WaitObserver observer) { waitObserver_ = std::move(observer); }

private:
    void listDirectory();
    std::span<const std::uint8_t> received() const;
    char replyStatus() const;
    void loadFrame(const Bytes& frame);
    // Sends the command frame in txBuffer and waits for its status reply; false when the
    // wait timed out and ended the exchange.
    bool commandAnswered(std::size_t frameLength);
    // Sends the go-ahead and waits for the header of the data reply; false likewise.
    bool replyHeaderArrived(std::size_t headerLength);
    bool phaseTimedOut(std::size_t threshold, int milliseconds);
    void endWith(char code, std::string detail = {});
    void pauseAfterOutcome();

    ExchangeView& view_;
    SerialPort& port_;
    const PortSettings& settings_;

    std::vector<std::uint8_t> rxBuffer_;
    std::size_t rxCount_ = 0;
    std::vector<std::uint8_t> txBuffer_;
    Bytes fileBuffer_;
    long directoryCount_ = 0;
    long dataLength_ = 0;
    std::vector<std::array<std::uint8_t, kNameLength>> directoryNames_;
    std::string sendPath_;
    std::string savePath_;

    QTimer replyTimer_;  // timer 1
    QTimer pauseTimer_;  // timer 2
    bool replyTimedOut_ = false;
    bool pauseElapsed_ = false;
    bool busy_ = false;
    bool waiting_ = false;
    bool awaitingFileChoice_ = false;
    bool linkOpen_ = false;
    char lastOutcome_ = '0';
    std::string failureDetail_;
    int outcomePauseMs_ = kOutcomePauseMs;
    bool keepExistingFiles_ = false;
    WaitObserver waitObserver_;
};

}  // namespace dravolin
