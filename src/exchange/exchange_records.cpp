#include "exchange/exchange_records.h"

#include "exchange/exchange.h"
#include "protocol/path_text.h"

namespace dravolin {

ExchangeRecords::ExchangeRecords(Exchange& exchange, std::string program, std::string logPath,
                                 Warn warn)
    : exchange_(exchange),
      warn_(std::move(warn)),
      transferLog_(std::move(program), std::move(logPath),
                   [this](const std::string& path, const std::string& reason) {
                       if (warn_) {
                           warn_({TextId::TransferLogCannotWrite,
                                  {shownPath(path), shownTextNamingPaths(reason)}});
                       }
                   }) {
    exchange_.addObserver(transferLog_);
}

ExchangeRecords::~ExchangeRecords() {
    stopTrace();
    exchange_.removeObserver(transferLog_);
}

bool ExchangeRecords::startTrace(const std::string& file, std::string& error,
                                 std::FILE* standardError) {
    const ProtocolTrace::Warn warnAboutTrace = [this](const std::string& path,
                                                      const std::string& reason) {
        if (warn_) {
            warn_({TextId::TraceCannotOpen, {shownPath(path), shownTextNamingPaths(reason)}});
        }
    };
    std::unique_ptr<ProtocolTrace> trace = file.empty()
                                               ? std::make_unique<ProtocolTrace>(standardError)
                                               : ProtocolTrace::toFile(file, warnAboutTrace, error);
    if (!trace) {
        return false;
    }
    stopTrace();
    trace_ = std::move(trace);
    exchange_.addObserver(*trace_);
    return true;
}

std::vector<ExchangeObserver*> ExchangeRecords::tryObservers() {
    if (trace_) {
        return {trace_.get()};
    }
    return {};
}

void ExchangeRecords::keep(const ExchangeRecord& record) {
    transferLog_.exchangeEnded(record);
}

void ExchangeRecords::stopTrace() {
    if (trace_) {
        exchange_.removeObserver(*trace_);
        trace_.reset();
    }
}

}  // namespace dravolin
