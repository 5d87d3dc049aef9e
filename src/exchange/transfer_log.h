#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange_observer.h"
#include "exchange/exchange_record.h"

namespace dravolin {

// The transfer log: one line per exchange, appended to
// $XDG_STATE_HOME/dravolin/transfers.log. Fields are separated by tabs; the first is the
// local time the exchange started (2026-12-07T09:15:02.481+01:00), every other one is
// key=value:
//   program function device line pc name bytes outcome duration
// Values are in the form they have on a terminal (escaped_name.h: a tab is \x09, a
// backslash \\), so a value never holds a tab, a line break or any other control; an
// empty value means "none".
//
// Each line goes to the file with one write to a descriptor opened for appending, so a
// crash never leaves half a line and two programs writing at once do not mix their lines.
// At 1 MiB the log becomes transfers.log.1 (replacing the one before) and a new one starts.
// A log that cannot be written never stops an exchange: the first failure is reported
// once through `warn`, and the log stays silent for the rest of the run.
class TransferLog : public ExchangeObserver {
public:
    static constexpr std::size_t kRotateAt = 1024 * 1024;
    using Warn = std::function<void(const std::string& path, const std::string& reason)>;

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

    const std::string& path() const { return path_; }
    bool silenced() const { return silenced_; }

    void exchangeEnded(const ExchangeRecord& record) override;

private:
    std::string program_;
    std::string path_;
    Warn warn_;
    bool silenced_ = false;
};

}  // namespace dravolin
