#pragma once

#include <filesystem>
#include <string>

namespace dravolin {

// A symbolic link with a stable name that points at the pseudo-terminal's changing slave
// path, so that a PC can be set up once. Removed again when this object goes.
class DeviceLink {
public:
    DeviceLink() = default;
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Replaces an existing symbolic link at `link`, but nothing else: a regular file or
    // a folder there may be someone's data.
    bool create(const std::filesystem::path& link, const std::string& target, std::string& error);

    // Removes the link if it still points where we put it; a link someone else has put
    // there since is left alone.
    void remove();

private:
    std::filesystem::path link_;
    std::string target_;
};

}  // namespace dravolin
