#include "exchange/transfer_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>

#include "exchange/local_time.h"
#include "exchange/log_file.h"
#include "exchange/state_folder.h"
#include "protocol/escaped_name.h"
#include "protocol/path_text.h"
#include "protocol/safe_file_name.h"
#include "protocol/unique_fd.h"

namespace dravolin {

namespace {

std::string functionName(ExchangeRecord::Function function) {
    switch (function) {
        case ExchangeRecord::Function::List:
            return "list";
        case ExchangeRecord::Function::Get:
            return "get";
        case ExchangeRecord::Function::Put:
            return "put";
        case ExchangeRecord::Function::Find:
            return "find";
    }
    return "list";
}

// "2026-12-07T09:15:02.481+01:00"
std::string isoTime(std::chrono::system_clock::time_point when) {
    const LocalTime local = localTime(when);
    const std::string time =
        formatted(local.calendar, "%Y-%m-%dT%H:%M:%S.") + threeDigits(local.milliseconds);
    const std::string zone = formatted(local.calendar, "%z");  // +0100
    return zone.size() == 5 ? time + zone.substr(0, 3) + ":" + zone.substr(3) : time;
}

// `shown` is the value in its shown form: without tabs, line breaks or other controls.
std::string field(std::string_view key, std::string_view shown) {
    return "\t" + std::string(key) + "=" + std::string(shown);
}

std::string lineSettings(const PortSettings& line) {
    return std::to_string(line.baudRate) + "," + static_cast<char>(line.parity) + "," +
           std::to_string(line.dataBits) + "," + std::to_string(line.stopBits);
}

std::string outcomeText(const ExchangeRecord& record) {
    return record.cancelled ? "cancelled" : std::string(1, record.outcome);
}

std::string seconds(std::chrono::steady_clock::duration duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::chrono::duration<double>(duration).count());
    return text;
}

// Keeps the last `count` lines of the file at `path` at the end of `lines`. A missing file
// has none.
bool readLines(const std::string& path, std::deque<std::string>& lines, std::size_t count,
               std::string& error) {
    std::string text;
    bool missing = false;
    if (!readWholeFile(path, text, missing, error)) {
        return missing;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        if (lines.size() > count) {
            lines.pop_front();
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

TransferLog::TransferLog(std::string program, std::string path, Warn warn)
    : program_(std::move(program)), log_(std::move(path), kRotateAt, std::move(warn)) {}

std::string TransferLog::defaultPath() {
    return textOfPath(pathFromText(stateFolder()) / "transfers.log");
}

std::string TransferLog::formatLine(std::string_view program, const ExchangeRecord& record) {
    return isoTime(record.startedAt) + field("program", shownText(program)) +
           field("function", functionName(record.function)) +
           field("device", shownPath(record.devicePath)) +
           field("line", lineSettings(record.line)) + field("pc", shownPath(record.pcPath)) +
           field("name", escapedName(trimmedDeviceName(record.deviceName))) +
           field("bytes", std::to_string(record.fileBytes)) +
           field("outcome", escapedName(outcomeText(record))) +
           field("duration", seconds(record.duration)) +
           (record.function == ExchangeRecord::Function::Find
                ? field("tried", shownPath(record.tried))
                : std::string());
}

bool TransferLog::append(const std::string& line, std::string& error) const {
    return log_.append(line + "\n", error);
}

bool TransferLog::lastLines(const std::string& path, std::size_t count,
                            std::vector<std::string>& lines, std::string& error) {
    std::deque<std::string> kept;
    if (count == 0) {
        lines.clear();
        return true;
    }
    if (!readLines(path + std::string(RotatingLog::kOldGeneration), kept, count, error)) {
        return false;
    }
    if (!readLines(path, kept, count, error)) {
        return false;
    }
    lines.assign(kept.begin(), kept.end());
    return true;
}

void TransferLog::exchangeEnded(const ExchangeRecord& record) {
    // A path as the operator gave it may be relative to a folder the log does not know.
    ExchangeRecord kept = record;
    std::error_code noPath;
    if (!kept.pcPath.empty()) {
        const std::filesystem::path absolute =
            std::filesystem::absolute(pathFromText(kept.pcPath), noPath);
        if (!noPath) {
            kept.pcPath = textOfPath(absolute.lexically_normal());
        }
    }
    log_.appendOrWarn(formatLine(program_, kept) + "\n");
}

}  // namespace dravolin
