#include "exchange/exchange_records.h"

#include "exchange/exchange.h"

namespace dravolin {

ExchangeRecords::ExchangeRecords(Exchange& exchange, std::string program, std::string logPath,
                                 TransferLog::Warn warnAboutLog)
    : exchange_(exchange),
      transferLog_(std::move(program), std::move(logPath), std::move(warnAboutLog)) {
    exchange_.addObserver(transferLog_);
}

ExchangeRecords::~ExchangeRecords() {
    stopTrace();
    exchange_.removeObserver(transferLog_);
}

bool ExchangeRecords::startTrace(const std::string& file, std::string& error,
                                 std::FILE* standardError) {
    std::unique_ptr<ProtocolTrace> trace = file.empty()
                                               ? std::make_unique<ProtocolTrace>(standardError)
                                               : ProtocolTrace::toFile(file, error);
    if (!trace) {
        return false;
    }
    stopTrace();
    trace_ = std::move(trace);
    exchange_.addObserver(*trace_);
    return true;
}

std::vector<ExchangeObserver*> ExchangeRecords::observers() {
    std::vector<ExchangeObserver*> all{&transferLog_};
    if (trace_) {
        all.push_back(trace_.get());
    }
    return all;
}

void ExchangeRecords::stopTrace() {
    if (trace_) {
        exchange_.removeObserver(*trace_);
        trace_.reset();
    }
}

}  // namespace dravolin
