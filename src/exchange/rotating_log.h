#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace dravolin {

// A file this program appends its own records to (the transfer log, the protocol trace).
// Each append is one write to a descriptor opened for appending and locked against other
// writers, so a crash never leaves half a record and two programs never mix theirs; a
// short write is taken back. When the next append would take the file past `rotateAt`
// bytes, it becomes PATH.1 (replacing the one before) and a new one starts.
//
// A file that cannot be written never stops an exchange: `appendOrWarn` tells the first
// failure once through `warn`, and the file stays silent for the rest of the run.
class RotatingLog {
public:
    using Warn = std::function<void(const std::string& path, const std::string& reason)>;
    static constexpr std::string_view kOldGeneration = ".1";

    RotatingLog(std::string path, std::size_t rotateAt, Warn warn);

    // Appends `text` whole (making the file's folder when missing), rotating first when
    // due; false with the reason when it could not be written.
    bool append(const std::string& text, std::string& error) const;
    void appendOrWarn(const std::string& text);
    // Whether the file can be opened for appending (it is made when missing).
    bool canAppend(std::string& error) const;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::size_t rotateAt_;
    Warn warn_;
    bool silenced_ = false;
};

}  // namespace dravolin
