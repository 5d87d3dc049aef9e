#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "exchange/engine/machine_steps.h"

namespace dravolin {

// The three transactions with the programmer as a machine that does no I/O and knows no
// clock: events go in (the operator's start and answers, bytes from the line, the frame
// has left, a time-out, cancel, hang-up, a local failure), actions come out (send these
// bytes, arm a wait, ask for a file, save, progress, end). Every exchange ends exactly
// once; nothing goes on the line after its end and at most one wait is armed at a time.
// Events that mean nothing in the current phase are ignored, so a late time-out or a
// stray answer cannot disturb the next exchange.
class ExchangeMachine {
public:
    static constexpr std::size_t kBufferSize = 16484;

    // A listing's states, a fetch's and a send's, each in the order they come.
    enum class Phase {
        Idle,
        DirectoryStatus,
        DirectoryHeader,
        DirectoryEntries,
        AwaitingChoice,  // the directory is listed, the link closed: the operator picks
        AskingSave,      // the save dialog is up
        FetchStatus,
        FetchHeader,
        FetchData,
        Saving,          // the fetched file is being written
        AskingOpen,      // the open dialog of a send is up
        Loading,         // the file to send is being read
        AnnounceStatus,  // the transfer announcement is out; its status reply awaited
        DataStatus,      // the data frame is out; its status reply awaited
    };

    MachineActions start(const ExchangeRequest& request);
    MachineActions received(std::span<const std::uint8_t> bytes);
    // `written` bytes of the last frame have left the PC.
    MachineActions frameLeft(std::size_t written);
    MachineActions timedOut();
    // No byte of a reply that had begun came within the gap of its last ArmStall.
    MachineActions replyStalled();
    MachineActions lineErrorsSeen();
    MachineActions hungUp();
    // The port could not be opened. An exchange goes on to its time-out and its 'N', as it
    // always has; a search's try ends at once, as at a hang-up.
    MachineActions linkFailed();
    MachineActions cancel();
    // The operator picked entry `index` of the listed directory.
    MachineActions entryChosen(int index);
    // The answer of the dialog asked for; nothing when it was cancelled.
    MachineActions fileChosen(const std::optional<std::string>& path);
    MachineActions fileLoaded(Bytes file);
    MachineActions saved();
    // Reading the file to send or writing the fetched one failed.
    MachineActions localFailure(const std::string& reason);
    // A program's fetch found the name it wanted missing (NotHeld), or cannot write the file
    // where it would go (LocalFailure): the exchange ends at the listing.
    MachineActions endAtListing(ExchangeOutcome::Ending ending);

    Phase phase() const { return phase_; }
    bool running() const { return phase_ != Phase::Idle; }
    // In a state that sends a frame and awaits its reply: the link is open (from the
    // OpenLink it asks for to the CloseLink it asks for) and a wait is armed, here and only
    // here.
    bool onTheLine() const;
    std::size_t awaited() const { return threshold_; }
    std::span<const std::uint8_t> receivedBytes() const { return {rx_.data(), rx_.size()}; }
    // The name of the file on the programmer, once known ("" before).
    const std::string& deviceName() const { return deviceName_; }
    // Header and data of the file, once known (0 before).
    std::size_t fileBytes() const { return fileBytes_; }
    // Fetch: how much of the file (header and data) came over the line, whole or not.
    std::size_t fileBytesReceived() const;
    // The file to send or the target of a fetch, once chosen ("" before).
    const std::string& localPath() const { return localPath_; }
    bool fetched() const { return fetching_; }

private:
    // What the states do differently for one request, worked out once at its start. A find
    // (one try of the search) asks only whether the programmer answers at these settings.
    struct Policy {
        bool shortStatusWait = false;     // a status reply awaited for its line time only
        bool lineErrorsEnd = false;       // errors on the line end it at once: no answer
        bool linkFailureEnds = false;     // a port that cannot be opened ends it as a hang-up
        bool badReplyIsNoAnswer = false;  // a reply that fails its checks: 'N', not 'W' or 'B'
        long largestDirectory = 0;        // the most entries a directory may announce
        bool endsAtListing = false;       // '0' once the names are in; else the operator picks
        ExchangeOutcome::Ending emptyDirectory = ExchangeOutcome::Ending::NoFiles;
    };
    static Policy policyOf(const ExchangeRequest& request);

    // The rules, a state a case in the order of Phase: what a state sends on entry and what
    // it awaits (enter), what a whole reply leads to (replied). Every state on the line ends
    // alike at a time-out, a stall, a hang-up and a cancel: see the event methods.
    void enter(Phase phase);
    void replied();
    // A status reply: '0' goes ahead to `next`, any other letter ends the exchange with it.
    void statusIn(char letter, Phase next);
    void directoryHeaderIn();
    void directoryIn();
    void fileHeaderIn();
    void fileIn();
    void beginLoading(const std::string& path);
    void beginFetch(const DeviceNameField& name, const std::string& path);
    // Opens the link, sends a command frame and awaits its status reply.
    void command(const Bytes& frame);
    // A reply that fails its checks: `letter` ('B', 'W'), but no reply at all to a search.
    ExchangeOutcome unusableReply(char letter, std::string detail = {}) const;
    // The programmer's own status letter ends the exchange: a refusal unless it is '0'.
    static ExchangeOutcome deviceLetter(char letter);

    void closeLink();
    void sendFrame(const Bytes& frame);
    void armWait(std::size_t threshold, int milliseconds);
    // The wait goes on: the reply is complete, or the stall rule is armed once it has begun.
    void awaitRest();
    // A wait that ends without the whole reply: 'N'. The first reply to a frame that stops
    // short is what a line at other settings than the programmer's delivers; once a data
    // reply has begun well, the settings are right.
    ExchangeOutcome notAnswered(ExchangeOutcome::Ending ending) const;
    void disarmWait();
    void progress(std::size_t done, bool sending = false);
    // A state on the line ends before its reply is whole: the wait disarmed, the link closed.
    void cutOff(ExchangeOutcome outcome);
    void endOnTheLine(ExchangeOutcome outcome);  // closes the link first
    void end(ExchangeOutcome outcome);
    MachineActions take();

    ExchangeRequest request_;
    Policy policy_;
    Phase phase_ = Phase::Idle;
    MachineActions out_;
    std::vector<std::uint8_t> rx_;
    std::size_t threshold_ = 0;
    ExchangeOutcome::Heard heard_ = ExchangeOutcome::Heard::Nothing;
    bool fetching_ = false;
    std::size_t progressTotal_ = 0;  // 0: this wait shows no progress
    std::vector<DeviceNameField> names_;
    DeviceNameField chosen_{};
    std::string deviceName_;
    std::string localPath_;
    std::size_t fileBytes_ = 0;
    std::size_t fileReplyIn_ = 0;  // bytes of the file reply received, check byte included
    Bytes file_;
    long dataLength_ = 0;
};

}  // namespace dravolin
