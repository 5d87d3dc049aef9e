#include "exchange/rotating_log.h"

#include <utility>

// What the log does the same on every system: the first failure is told once and silences
// the file. The file calls are in rotating_log.cpp and rotating_log_win32.cpp.

namespace dravolin {

RotatingLog::RotatingLog(std::string path, std::size_t rotateAt, Warn warn)
    : path_(std::move(path)), rotateAt_(rotateAt), warn_(std::move(warn)) {}

void RotatingLog::appendOrWarn(const std::string& text) {
    if (silenced_) {
        return;
    }
    std::string error;
    if (!append(text, error)) {
        silenced_ = true;
        if (warn_) {
            warn_(path_, error);
        }
    }
}

}  // namespace dravolin
