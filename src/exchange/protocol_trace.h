#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "exchange/exchange_observer.h"
#include "exchange/rotating_log.h"

namespace dravolin {

// The protocol trace: a line for every frame sent and every run of reply bytes received,
// in the simulated programmer's form with the local time in front
// ("09:15:02.481 PC>DEV 44 44", "09:15:02.493 DEV>PC 06 30"), and a line beginning "--"
// for everything else that happens on the line: the start of an exchange, opening (which
// purges the queues) and closing the link, a time-out, a hang-up, the outcome.
//
// The lines are kept in memory while a wait runs and written when it ends (and when the
// link closes and the exchange ends), so the trace never delays a byte on the line.
// A trace file is a RotatingLog, as the transfer log is: it never mixes its lines with
// another program's, becomes FILE.1 past kRotateAt, and its first write failure is told
// once through `warn` (later lines are dropped); the exchange goes on.
class ProtocolTrace : public ExchangeObserver {
public:
    static constexpr std::size_t kRotateAt = 4 * 1024 * 1024;
    using Warn = RotatingLog::Warn;

    // Writes to `stream`, which stays the caller's: standard error, where a warning would go
    // too, so its failure only drops the later lines.
    explicit ProtocolTrace(std::FILE* stream);
    // Appends to `file`.
    explicit ProtocolTrace(RotatingLog file);
    // Appends to the file at `path`, made readable by its owner only; nothing, with the
    // reason, when it cannot be opened.
    static std::unique_ptr<ProtocolTrace> toFile(const std::string& path, Warn warn,
                                                 std::string& error);
    ~ProtocolTrace() override;
    ProtocolTrace(const ProtocolTrace&) = delete;
    ProtocolTrace& operator=(const ProtocolTrace&) = delete;

    void exchangeStarted(const ExchangeRecord& record) override;
    void linkOpened(bool opened) override;
    void linkClosed() override;
    void frameSent(std::span<const std::uint8_t> frame) override;
    void bytesReceived(std::span<const std::uint8_t> bytes) override;
    void waitTimedOut(std::size_t awaited, std::size_t received, int milliseconds) override;
    void replyStalled(std::size_t awaited, std::size_t received, int milliseconds) override;
    void lineHungUp() override;
    void waitEnded() override;
    void exchangeEnded(const ExchangeRecord& record) override;

    // Writes out the lines kept so far.
    void flush();

private:
    void add(std::string_view line);

    std::optional<RotatingLog> file_;
    std::FILE* stream_ = nullptr;
    bool streamFailed_ = false;
    std::string pending_;
};

}  // namespace dravolin
