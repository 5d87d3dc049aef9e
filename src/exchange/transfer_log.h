#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange_observer.h"
#include "exchange/exchange_record.h"
#include "exchange/rotating_log.h"

namespace dravolin {

// The transfer log: one line per exchange, appended to
// $XDG_STATE_HOME/dravolin/transfers.log. Fields are separated by tabs; the first is the
// local time the exchange started (2026-12-07T09:15:02.481+01:00), every other one is
// key=value:
//   program function device line pc name bytes outcome duration
// and, for a search for the programmer, tried (what it asked). A reader finds a field by its
// key and passes over keys it does not know, so fields may be added at the end.
// Values are in the form they have on a terminal (escaped_name.h: a tab is \x09, a
// backslash \\), so a value never holds a tab, a line break or any other control; an
// empty value means "none".
//
// Each line is one append to a RotatingLog: whole or not at all, never mixed with another
// program's; at 1 MiB the log becomes transfers.log.1. A log that cannot be written never
// stops an exchange: the first failure is reported once through `warn`.
class TransferLog : public ExchangeObserver {
public:
    static constexpr std::size_t kRotateAt = 1024 * 1024;
    using Warn = RotatingLog::Warn;

    TransferLog(std::string program, std::string path, Warn warn);

    // $XDG_STATE_HOME/dravolin/transfers.log
    static std::string defaultPath();
    static std::string formatLine(std::string_view program, const ExchangeRecord& record);

    // Appends one whole line (without its line end), rotating the log first when it would
    // grow beyond kRotateAt. False with the reason when it could not be written.
    bool append(const std::string& line, std::string& error) const;

    // The last `count` lines of the log at `path` and of its previous generation, in file
    // order. A missing log has no lines; false with the reason when it cannot be read.
    static bool lastLines(const std::string& path, std::size_t count,
                          std::vector<std::string>& lines, std::string& error);

    const std::string& path() const { return log_.path(); }

    void exchangeEnded(const ExchangeRecord& record) override;

private:
    std::string program_;
    RotatingLog log_;
};

}  // namespace dravolin
