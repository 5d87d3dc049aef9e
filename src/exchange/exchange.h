#pragma once

#include <QTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/port_settings.h"
#include "exchange/engine/exchange_machine.h"
#include "exchange/exchange_observer.h"
#include "exchange/exchange_record.h"
#include "exchange/exchange_view.h"
#include "exchange/transfer_progress.h"
#include "serial/link_client.h"

namespace dravolin {

class SerialPort;

// The driver of the exchange machine on the Qt event loop: it feeds the machine from the
// serial link (as its client), its timers and the view, carries out the machine's actions, tells
// the observers (log, trace) what happens, and shows the outcome. Nothing here waits: every call
// returns at once, and whatever comes next (a reply byte, a time-out, an answer of the operator,
// the end of the outcome pause) arrives as an event. The window, the CLI and runs of exchanges all
// go through it.
class Exchange : public LinkClient {
public:
    static constexpr int kReceiveFunction = 0;
    static constexpr int kSendFunction = 1;
    static constexpr int kOutcomePauseMs = 2500;

    // Called once the exchange has ended and the window is idle again.
    using Next = std::function<void()>;

    Exchange(ExchangeView& view, SerialPort& port, const PortSettings& settings);
    ~Exchange() override;
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Starts `request` unless an exchange runs: the window's function (startExchange, 0
    // receive, 1 send, anything else nothing), or a whole exchange of a run or a program that
    // asks nothing: a listing, a fetch of a listed name to a path, a send of a path. A fetch
    // that gives `wantedName` in place of the listed `name` lists the directory first and
    // fetches the entry of that name (trailing blanks aside) to `path`, all in one exchange:
    // 'R' when it is not listed, 'D' at the listing when `path` is empty (the program found
    // no file to write it to).
    void start(ExchangeRequest request, Next next = {});
    void startExchange(int function, Next next = {});

    // The operator chose entry `selection` of the listed directory. Does nothing unless the
    // directory is listed and waiting for that choice.
    void chooseListedFile(int selection);

    // A status text of a run or a program of its own: the file in hand, a run's summary,
    // the plea to wait before a send that asks nothing.
    void showStatus(FilledText text);
    // The dialog that begins a run is up: the window is locked as for an exchange, without
    // Cancel. Released, it is idle again; `resetChoices` as after a cancelled dialog of a send.
    void holdWindow();
    void releaseWindow(bool resetChoices);

    // The operator's Cancel (button, Escape, a signal to the CLI): the link is closed,
    // nothing is saved, the status line says so and, after the pause, the window is idle.
    // Does nothing when nothing can be cancelled.
    void cancel();
    // As cancel, without holding the outcome on screen: the program is about to end. An
    // outcome already on screen is cut short too.
    void abandon();
    bool cancellable() const { return stage_ == Stage::Running; }

    // The pause that holds an outcome on screen; a terminal needs none.
    void setOutcomePause(int milliseconds) { outcomePauseMs_ = milliseconds; }
    // The line a failure's box adds when the line settings probably differ: it names how the
    // operator finds the programmer where the exchange runs.
    void setLineSettingsAdvice(TextId advice) { lineSettingsAdvice_ = advice; }

    // What the serial link brings while the link is open.
    void received(std::span<const std::uint8_t> run, std::size_t lineErrors) override;
    void hungUp() override;
    void frameLeft(std::size_t bytes) override;

    // The language of the window, in which the cause line is worded.
    Language language() const;

    bool busy() const { return stage_ != Stage::Idle; }
    bool awaitingFileChoice() const {
        return machine_.phase() == ExchangeMachine::Phase::AwaitingChoice;
    }
    // How the last exchange ended: its letter (meaning nothing when it was cancelled, by
    // the operator or at a file dialog), the directory it listed, and why a local failure
    // ('D', 'W') happened, as a sentence for a log or a terminal.
    const ExchangeOutcome& outcome() const { return outcome_; }
    // The last exchange was abandoned: the program is about to end.
    bool abandoned() const { return outcome_.cancelled() && pauseSkipped_; }
    // Why the last exchange failed, in one line for the operator, shown under the text of
    // its outcome box: e.g. "The device /dev/ttyUSB0 has gone." Empty when nothing more is
    // known; cleared when an exchange starts.
    const std::string& causeLine() const { return causeLine_; }

    // Told what every exchange does from now on (the transfer log, the protocol trace); the
    // observer must outlive the exchange or be removed first.
    void addObserver(ExchangeObserver& observer);
    void removeObserver(ExchangeObserver& observer);

private:
    void apply(MachineActions actions);
    void carryOut(const MachineAction& action);

    void openLink();
    void closeLink();
    void sendFrame(const Bytes& frame);
    void armWait(std::size_t threshold, int milliseconds);
    void endWait();
    // After the link's pending arrivals: the wait goes on and the timer numbered by
    // `timerNumber` (a member) has not been armed anew.
    bool stillWaitingAfterArrivals(const unsigned& timerNumber);
    void waitTimedOut();
    void armStall(int milliseconds);
    void replyStalled();
    void feedHangUp();
    // Tells the machine how much of the frame has left, no more than the line can carry.
    void tellFrameLeft();
    std::size_t lineBytesSinceFrame() const;
    void endProgress();
    void refreshProgress();
    void showProgressAt(std::size_t done);
    void askForFile(const MachineAction& action);
    void loadFile(const std::string& path);
    void saveFile(const MachineAction& action);
    void listNames(const std::vector<DeviceNameField>& names);
    // A program's get: the programmer lists every file it holds, so one it does not list
    // does not exist.
    void fetchWantedName();
    void showProgress(const MachineAction& action);

    void finish(const ExchangeOutcome& outcome);
    void presentOutcome();
    FilledText outcomeStatus(char code) const;
    void holdOutcome();
    void resetChoices();
    void restoreIdleWindow();
    void showState() { view_.showState(state_); }
    void callNext();
    // Runs `call` later unless this exchange is gone by then (a box answered after the
    // window closed).
    std::function<void()> whileAlive(std::function<void()> call);

    // The programmer's name of the file a fetch or a program's get asked for; "" for none.
    std::string fileAskedFor() const;
    void beginRecord(const ExchangeRequest& request);
    void endRecord(const ExchangeOutcome& outcome);
    template <typename Call>
    void notify(const Call& call) {
        for (ExchangeObserver* observer : observers_) {
            call(*observer);
        }
    }

    ExchangeView& view_;
    SerialPort& port_;
    const PortSettings& settings_;
    ExchangeMachine machine_;
    std::deque<MachineAction> pending_;  // actions not yet carried out, in order
    bool applying_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    QTimer replyTimer_;    // the armed wait
    QTimer stallTimer_;    // a reply that has begun falls silent
    QTimer pauseTimer_;    // the outcome on screen
    QTimer progressTick_;  // moves the estimate of the time left on; runs while it is shown
    std::size_t awaited_ = 0;
    int waitMs_ = 0;
    unsigned waitNumber_ = 0;   // tells a wait from the one armed after it
    unsigned stallNumber_ = 0;  // the same for the stall rule, armed anew at every run
    int stallMs_ = 0;
    bool lineGone_ = false;  // the open line hung up; the machine is told once its wait can end

    // Where the driver stands: no exchange; one running; its outcome on screen until the
    // window is idle again (nothing left to cancel).
    enum class Stage { Idle, Running, ShowingOutcome };
    Stage stage_ = Stage::Idle;
    bool pauseSkipped_ = false;
    int outcomePauseMs_ = kOutcomePauseMs;
    TextId lineSettingsAdvice_ = TextId::LineSettingsDiffer;
    ExchangeState state_;  // as the view was last shown it
    ExchangeRequest request_;
    ExchangeOutcome outcome_;
    std::string causeLine_;
    Next next_;

    ProgressMeter progressMeter_;
    std::size_t progressDone_ = 0;  // as the machine last told it
    std::chrono::steady_clock::time_point frameSentAt_{};
    std::size_t frameWritten_ = 0;   // of the last frame, as the link last told it
    std::size_t frameLeftTold_ = 0;  // of the last frame, as told to the machine

    std::vector<ExchangeObserver*> observers_;
    ExchangeRecord record_;
    std::chrono::steady_clock::time_point linkOpenedAt_;
};

}  // namespace dravolin
