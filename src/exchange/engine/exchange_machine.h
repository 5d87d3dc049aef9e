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

    enum class Phase {
        Idle,
        AskingOpen,      // the open dialog of a send is up
        Loading,         // the file to send is being read
        AnnounceStatus,  // the transfer announcement is out; its status reply awaited
        DataStatus,      // the data frame is out; its status reply awaited
        DirectoryStatus,
        DirectoryHeader,
        DirectoryEntries,
        AwaitingChoice,  // the directory is listed, the link closed: the operator picks
        AskingSave,      // the save dialog is up
        FetchStatus,
        FetchHeader,
        FetchData,
        Saving,  // the fetched file is being written
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
    // The listing was all a program wanted (Success), it found the name it wanted missing
    // (NotHeld), or it cannot write the file where it would go (LocalFailure): the exchange
    // ends at the listing.
    MachineActions endAtListing(ExchangeOutcome::Ending ending);

    Phase phase() const { return phase_; }
    bool running() const { return phase_ != Phase::Idle; }
    bool waiting() const { return waitArmed_; }
    // From the OpenLink it asks for to the CloseLink it asks for.
    bool linkOpen() const { return linkOpen_; }
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
    void beginLoading(const std::string& path);
    void beginFetch(const DeviceNameField& name, const std::string& path);
    // Opens the link unless it is open, sends a command frame and awaits its status reply.
    void command(Phase phase, const Bytes& frame);
    void afterReply();
    void afterDirectoryHeader();
    void afterDirectoryEntries();
    void afterFetchData();
    // A reply that fails its checks: `letter` ('B', 'W'), but no reply at all to a search.
    ExchangeOutcome unusableReply(char letter, std::string detail = {}) const;
    // The programmer's own status letter ends the exchange: a refusal unless it is '0'.
    static ExchangeOutcome deviceLetter(char letter);
    // The most entries a directory may announce and still be read.
    long largestDirectory() const;

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
    void endOnTheLine(ExchangeOutcome outcome);  // closes the link first
    void end(ExchangeOutcome outcome);
    MachineActions take();

    ExchangeRequest request_;
    Phase phase_ = Phase::Idle;
    MachineActions out_;
    std::vector<std::uint8_t> rx_;
    std::size_t threshold_ = 0;
    bool waitArmed_ = false;
    bool linkOpen_ = false;
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
    Bytes announcement_;
    long dataLength_ = 0;
};

}  // namespace dravolin
