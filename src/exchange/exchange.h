#pragma once

#include <QTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/port_settings.h"
#include "exchange/exchange_observer.h"
#include "exchange/exchange_record.h"
#include "exchange/exchange_view.h"
#include "exchange/transfer_progress.h"
#include "protocol/frames.h"
#include "protocol/replies.h"
#include "serial/port_owner.h"

namespace dravolin {

class SerialPort;

// How a wait for a reply ended.
enum class WaitEnd { Reached, TimedOut, Cancelled, LineGone };

// What a wait shows as progress: nothing (a status reply), the reply bytes received so
// far, or the data frame of a send going out. A file's progress counts the file's own
// bytes (header and data, as on disk) in both directions, not the frames around them.
struct WaitProgress {
    enum class Source { None, Received, Sent };
    Source source = Source::None;
    std::size_t expected = 0;
};

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

    // The operator's Cancel (button, Escape, a signal to the CLI). During a wait the wait
    // ends at once: the link is closed, nothing is saved, the status line says so and, after
    // the pause, the window is idle. While the listed directory waits for a choice the
    // exchange ends the same way now. Does nothing when nothing can be cancelled.
    void cancel();
    // As cancel, without holding the outcome on screen: the program is about to end.
    void abandon();
    bool cancellable() const { return busy_ && !finishing_; }

    // Entry points for a run of exchanges (a backup, several files sent). Each is a whole
    // exchange of its own, started and ended as one started from the menu, without a file
    // dialog and without awaiting a choice. They do nothing while an exchange runs.
    //
    // Lists the directory and ends; listedNames() then holds the names (none after a
    // failure or an empty directory).
    void listFiles();
    // Fetches entry `selection` of the directory listed last into `path`.
    void fetchListedFileTo(int selection, const std::string& path);
    // Sends the file at `path`.
    void sendFileAt(const std::string& path);
    // The names of the directory listed last, as the device sent them (up to a NUL).
    std::vector<std::string> listedNames() const;

    // In a run the caller reports every outcome at the end: no outcome box, status text or
    // pause per exchange.
    void setOutcomesCollected(bool collected) { outcomesCollected_ = collected; }

    void requestDirectory();
    void fetchFile(int selection);
    void sendFile();
    void finishExchange(char code);

    long portMessage(unsigned message, std::uintptr_t firstParameter,
                     std::intptr_t secondParameter) override;

    // The language of the window, in which the cause line is worded.
    Language language() const;

    bool busy() const { return busy_; }
    bool awaitingFileChoice() const { return awaitingFileChoice_; }
    char lastOutcome() const { return lastOutcome_; }
    // The last exchange was cancelled (by the operator, or a file dialog was cancelled);
    // lastOutcome() then means nothing.
    bool cancelled() const { return cancelled_; }
    // The last exchange was abandoned: the program is about to end.
    bool abandoned() const { return cancelled_ && pauseSkipped_; }

    // Why the last exchange failed, in one line for the operator, shown under the text of
    // its outcome box: e.g. "The device /dev/ttyUSB0 has gone." or "/dev/ttyUSB0 does not
    // exist: is the adapter plugged in?". Empty when nothing more is known; cleared when an
    // exchange starts.
    const std::string& causeLine() const { return causeLine_; }

    // Why the last exchange ended with a local failure ('D', 'W'): a sentence for a log or a
    // terminal; empty otherwise. The window shows the catalogue text only.
    const std::string& failureDetail() const { return failureDetail_; }

    // Whether a fetched file may only be a new file (nothing at all at its path) rather
    // than replace what the operator chose: for a name the operator did not give.
    void setKeepExistingFiles(bool keep) { keepExistingFiles_ = keep; }

    // The pause that holds an outcome on screen; a terminal needs none.
    void setOutcomePause(int milliseconds) { outcomePauseMs_ = milliseconds; }

    // Told what every exchange does from now on (the transfer log, the protocol trace); the
    // observer must outlive the exchange or be removed first.
    void addObserver(ExchangeObserver& observer);
    void removeObserver(ExchangeObserver& observer);

private:
    // Sets up a new exchange of `function`; false while one runs.
    bool beginExchange(int function);
    // Lists the directory on the line, leaving the link open; false when the exchange
    // ended there.
    bool directoryReceived();
    void fetchInto(const DeviceNameField& name, const std::string& path);
    void sendFrom(const std::string& path);

    void openLink();
    void closeLink();
    void sendFrame(std::size_t length);  // from txBuffer
    WaitEnd waitForReply(std::size_t threshold, int milliseconds, WaitProgress progress = {});

    void beginRecord(int function);
    void endRecord(char code, bool cancelled);
    void reportArrivals();
    void notify(const std::function<void(ExchangeObserver&)>& call);

    void listDirectory(std::vector<DeviceNameField> names);
    std::span<const std::uint8_t> received() const;
    char replyStatus() const;
    void loadFrame(const Bytes& frame);
    // Sends the command frame in txBuffer and waits for its status reply; false when the
    // wait timed out and ended the exchange.
    bool commandAnswered(std::size_t frameLength);
    // Sends the go-ahead and waits up to `milliseconds` for the header of the data reply;
    // false likewise.
    bool replyHeaderArrived(std::size_t headerLength, int milliseconds);
    // Waits for a phase's reply; when it does not come, closes the link, ends the exchange
    // as the wait ended and returns true.
    bool phaseEnded(std::size_t threshold, int milliseconds, WaitProgress progress = {});
    std::optional<WaitEnd> waitEndAfterPass(std::size_t threshold) const;
    void endAfterWait(WaitEnd end);
    void endWith(char code, std::string detail = {});
    void finishCancelled();
    void endWithoutOutcome();
    void noteLineErrors(char code);
    void showOutcomeStatus(char code);
    void resetChoices();
    void pauseAfterOutcome();
    void restoreIdleWindow();

    void beginProgress(const WaitProgress& progress);
    void updateProgress(const WaitProgress& progress, bool reached);
    std::size_t progressDone(const WaitProgress& progress) const;
    double lineBytesPerSecond() const;

    ExchangeView& view_;
    SerialPort& port_;
    const PortSettings& settings_;

    std::vector<std::uint8_t> rxBuffer_;
    std::size_t rxCount_ = 0;
    std::vector<std::uint8_t> txBuffer_;
    Bytes fileBuffer_;
    long directoryCount_ = 0;
    long dataLength_ = 0;
    std::vector<DeviceNameField> directoryNames_;
    std::string sendPath_;
    std::string savePath_;

    QTimer replyTimer_;    // timer 1
    QTimer pauseTimer_;    // timer 2
    QTimer progressTick_;  // wakes a long wait now and then, so its progress moves on
    bool replyTimedOut_ = false;
    bool pauseElapsed_ = false;
    bool busy_ = false;
    bool finishing_ = false;  // from the outcome to the idle window: nothing to cancel
    bool awaitingFileChoice_ = false;
    bool linkOpen_ = false;
    bool lineGone_ = false;
    bool lineErrorsSeen_ = false;  // bytes came with parity or framing errors
    bool cancelRequested_ = false;
    bool pauseSkipped_ = false;
    bool cancelled_ = false;
    char lastOutcome_ = '0';
    std::string failureDetail_;
    std::string causeLine_;
    std::optional<FilledText> successText_;  // what a '0' outcome says beyond success
    ProgressMeter progressMeter_;
    std::chrono::steady_clock::time_point frameHandedOver_;
    int outcomePauseMs_ = kOutcomePauseMs;
    bool keepExistingFiles_ = false;
    bool outcomesCollected_ = false;
    std::vector<ExchangeObserver*> observers_;
    ExchangeRecord record_;
    bool recordOpen_ = false;  // from the start of an exchange to its one end
    std::chrono::steady_clock::time_point recordStarted_;
    std::size_t rxReported_ = 0;  // received bytes already told to the observers
};

}  // namespace dravolin
