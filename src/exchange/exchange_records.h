#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/protocol_trace.h"
#include "exchange/transfer_log.h"

namespace dravolin {

class Exchange;

// What a program keeps of its exchanges: every one goes to the transfer log, and while a
// trace is on, all that happens on the line goes to the protocol trace. Either one that
// cannot be written is told once through `warn`, in the catalogue's words (the file's
// path and the reason in their shown form), and the exchanges go on. Destroy it before
// the exchange it watches.
class ExchangeRecords {
public:
    using Warn = std::function<void(const FilledText& warning)>;

    ExchangeRecords(Exchange& exchange, std::string program, std::string logPath, Warn warn);
    ~ExchangeRecords();
    ExchangeRecords(const ExchangeRecords&) = delete;
    ExchangeRecords& operator=(const ExchangeRecords&) = delete;

    // Traces from the next exchange on to `file`, appending, or to `standardError` when
    // `file` is empty; false with the reason when the file cannot be opened (the trace that
    // ran before then stays on).
    bool startTrace(const std::string& file, std::string& error, std::FILE* standardError = stderr);
    void stopTrace();

    const TransferLog& transferLog() const { return transferLog_; }

    // The trace while it is on, for exchanges that do not go through the exchange watched:
    // the tries of the search for the programmer. The log keeps a search as one record
    // (`keep`), not a line per try.
    std::vector<ExchangeObserver*> tryObservers();
    // Adds a record of work that is no single exchange (a search) to the log.
    void keep(const ExchangeRecord& record);

private:
    Exchange& exchange_;
    Warn warn_;
    TransferLog transferLog_;
    std::unique_ptr<ProtocolTrace> trace_;
};

}  // namespace dravolin
