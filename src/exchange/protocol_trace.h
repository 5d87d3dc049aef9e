#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "exchange/exchange_observer.h"

namespace dravolin {

// The protocol trace: a line for every frame sent and every run of reply bytes received,
// in the simulated programmer's form with the local time in front
// ("09:15:02.481 PC>DEV 44 44", "09:15:02.493 DEV>PC 06 30"), and a line beginning "--"
// for everything else that happens on the line: the start of an exchange, opening (which
// purges the queues) and closing the link, a time-out, a hang-up, the outcome.
//
// The lines are kept in memory while a wait runs and written when it ends (and when the
// link closes and the exchange ends), so the trace never delays a byte on the line.
class ProtocolTrace : public ExchangeObserver {
public:
    struct FileCloser {
        void operator()(std::FILE* file) const;
    };
    using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

    // Writes to `stream`, which stays the caller's (standard error).
    explicit ProtocolTrace(std::FILE* stream);
    // Writes to `file`, and closes it at the end.
    explicit ProtocolTrace(OwnedFile file);
    // Appends to the file at `path`, made readable by its owner only; nothing, with the
    // reason, when it cannot be opened.
    static std::unique_ptr<ProtocolTrace> toFile(const std::string& path, std::string& error);
    ~ProtocolTrace() override;
    ProtocolTrace(const ProtocolTrace&) = delete;
    ProtocolTrace& operator=(const ProtocolTrace&) = delete;

    // The first write that failed, or empty; later lines are dropped.
    const std::string& writeError() const { return writeError_; }

    void exchangeStarted(const ExchangeRecord& record) override;
    void linkOpened(bool opened) override;
    void linkClosed() override;
    void frameSent(std::span<const std::uint8_t> frame) override;
    void bytesReceived(std::span<const std::uint8_t> bytes) override;
    void waitTimedOut(std::size_t awaited, std::size_t received, int milliseconds) override;
    void lineHungUp() override;
    void waitEnded() override;
    void exchangeEnded(const ExchangeRecord& record) override;

    // Writes out the lines kept so far.
    void flush();

private:
    void add(std::string_view line);

    OwnedFile owned_;
    std::FILE* stream_;
    std::string pending_;
    std::string writeError_;
};

}  // namespace dravolin
