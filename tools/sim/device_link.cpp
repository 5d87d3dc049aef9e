#include "sim/device_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace dravolin {

namespace {

std::string systemText() {
    return std::strerror(errno);
}

}  // namespace

DeviceLink::~DeviceLink() {
    remove();
}

bool DeviceLink::create(const std::filesystem::path& link, const std::string& target,
                        std::string& error) {
    remove();
    struct stat existing {};
    if (::lstat(link.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = "refusing to replace " + link.string() + ": it exists and is not a symbolic link";
        return false;
    }
    // Built beside the target name and renamed over it, so an old link is replaced in
    // one step and a PC never finds the name missing.
    const std::filesystem::path temporary =
        link.string() + ".tmp-" + std::to_string(static_cast<long>(::getpid()));
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = "cannot create the link " + link.string() + ": " + systemText();
        return false;
    }
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        error = "cannot create the link " + link.string() + ": " + systemText();
        ::unlink(temporary.c_str());
        return false;
    }
    link_ = link;
    target_ = target;
    return true;
}

void DeviceLink::remove() {
    if (link_.empty()) {
        return;
    }
    std::error_code ignored;
    if (std::filesystem::is_symlink(link_, ignored) &&
        std::filesystem::read_symlink(link_, ignored).string() == target_) {
        ::unlink(link_.c_str());
    }
    link_.clear();
    target_.clear();
}

}  // namespace dravolin
