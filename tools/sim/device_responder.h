#pragma once

#include <optional>

#include "protocol/frames.h"
#include "sim/device_memory.h"
#include "sim/frame_receiver.h"
#include "sim/free_bytes.h"
#include "sim/simulator_options.h"

namespace dravolin {

// The device's side of the three transactions: what it answers to each frame from the
// PC, what it waits for next, and what it stores. The fault knobs of the options are
// applied here, except the line time and the hang-up, which belong to the line.
class DeviceResponder {
public:
    struct Reply {
        Bytes bytes;
        std::optional<DataReply> dataReply;  // which data reply, if it is not a status reply
    };

    DeviceResponder(const SimulatorOptions& options, DeviceMemory& memory);

    // What the device sends back for one complete frame; nothing when it stays silent.
    std::optional<Reply> respond(const ReceivedFrame& frame);

    // What the device waits for after its last answer.
    Expectation expectation() const;

    // Forgets a transaction half-way, e.g. when the PC has closed the line.
    void reset();

private:
    enum class Pending { Nothing, DirectoryReply, FileReply, DataFrame };

    std::optional<Reply> answerDirectoryRequest(const ReceivedFrame& frame);
    std::optional<Reply> answerFetchRequest(const ReceivedFrame& frame);
    std::optional<Reply> answerAnnouncement(const ReceivedFrame& frame);
    std::optional<Reply> answerGoAhead(bool directory, Bytes prepared) const;
    std::optional<Reply> answerDataFrame(const ReceivedFrame& frame, const Bytes& announcement);

    // The letter a well-formed announcement gets, before any data arrives.
    char judgeAnnouncement(const ReceivedFrame& frame);
    char storeData(const ReceivedFrame& frame, const Bytes& announcement);

    Bytes buildDirectoryReply();
    Bytes buildFileReply(const Bytes& stored) const;
    Bytes finishDataReply(Bytes body, DataReply which) const;

    Reply status(char letter);
    std::optional<char> forcedAnswer(DeviceCommand command) const;
    bool isSilent(DevicePhase phase) const;

    const SimulatorOptions& options_;
    DeviceMemory& memory_;
    FreeBytes freeBytes_;
    Pending pending_ = Pending::Nothing;
    Bytes pendingReply_;         // the data reply awaiting the go-ahead
    Bytes pendingAnnouncement_;  // the announcement whose data frame is awaited
    std::size_t pendingLength_ = 0;
};

}  // namespace dravolin
