#include "exchange/protocol_trace.h"

#include <chrono>

#include "exchange/local_time.h"
#include "protocol/escaped_name.h"
#include "protocol/frame_trace.h"
#include "protocol/path_text.h"

namespace dravolin {

namespace {

// "09:15:02.481 ": the local time to the millisecond.
std::string timeStamp() {
    const LocalTime now = localTime(std::chrono::system_clock::now());
    return formatted(now.calendar, "%H:%M:%S.") + threeDigits(now.milliseconds) + " ";
}

std::string dateAndTime(std::chrono::system_clock::time_point when) {
    return formatted(localTime(when).calendar, "%Y-%m-%d %H:%M:%S %z");
}

std::string functionWord(ExchangeRecord::Function function) {
    switch (function) {
        case ExchangeRecord::Function::Put:
            return "send";
        case ExchangeRecord::Function::Find:
            return "find";
        default:
            return "receive";
    }
}

}  // namespace

ProtocolTrace::ProtocolTrace(std::FILE* stream) : stream_(stream) {}

ProtocolTrace::ProtocolTrace(RotatingLog file) : file_(std::move(file)) {}

std::unique_ptr<ProtocolTrace> ProtocolTrace::toFile(const std::string& path, Warn warn,
                                                     std::string& error) {
    RotatingLog file(path, kRotateAt, std::move(warn));
    if (!file.canAppend(error)) {
        return nullptr;
    }
    return std::make_unique<ProtocolTrace>(std::move(file));
}

ProtocolTrace::~ProtocolTrace() {
    flush();
}

void ProtocolTrace::add(std::string_view line) {
    pending_ += timeStamp();
    pending_ += line;
    pending_ += '\n';
}

void ProtocolTrace::flush() {
    if (pending_.empty()) {
        return;
    }
    if (file_) {
        file_->appendOrWarn(pending_);
    } else if (!streamFailed_) {
        streamFailed_ =
            std::fwrite(pending_.data(), 1, pending_.size(), stream_) != pending_.size() ||
            std::fflush(stream_) != 0;
    }
    pending_.clear();
}

void ProtocolTrace::exchangeStarted(const ExchangeRecord& record) {
    const PortSettings& line = record.line;
    add("-- " + functionWord(record.function) + " on " + shownPath(record.devicePath) + " at " +
        std::to_string(line.baudRate) + "," + static_cast<char>(line.parity) + "," +
        std::to_string(line.dataBits) + "," + std::to_string(line.stopBits) + ", " +
        dateAndTime(record.startedAt));
}

void ProtocolTrace::linkOpened(bool opened) {
    add(opened ? "-- link opened; input and output purged" : "-- the link could not be opened");
}

void ProtocolTrace::linkClosed() {
    add("-- link closed");
    flush();
}

void ProtocolTrace::frameSent(std::span<const std::uint8_t> frame) {
    add(traceLine(kFromPc, frame));
}

void ProtocolTrace::bytesReceived(std::span<const std::uint8_t> bytes) {
    add(traceLine(kToPc, bytes));
}

void ProtocolTrace::waitTimedOut(std::size_t awaited, std::size_t received, int milliseconds) {
    add("-- time-out after " + std::to_string(milliseconds) + " ms: " + std::to_string(awaited) +
        " bytes awaited, " + std::to_string(received) + " received");
}

void ProtocolTrace::replyStalled(std::size_t awaited, std::size_t received, int milliseconds) {
    add("-- no byte for " + std::to_string(milliseconds) + " ms: the reply stopped part-way, " +
        std::to_string(received) + " of " + std::to_string(awaited) + " bytes received");
}

void ProtocolTrace::lineHungUp() {
    add("-- hang-up: the device has gone");
}

void ProtocolTrace::waitEnded() {
    flush();
}

void ProtocolTrace::exchangeEnded(const ExchangeRecord& record) {
    const std::string seconds = std::to_string(
        std::chrono::duration_cast<std::chrono::milliseconds>(record.duration).count());
    if (record.cancelled) {
        add("-- cancelled after " + seconds + " ms");
    } else {
        add("-- outcome " + escapedName(std::string(1, record.outcome)) + " after " + seconds +
            " ms");
    }
    flush();
}

}  // namespace dravolin
