#include "protocol/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/file_saver.h"

namespace dravolin {

// Anything but a regular file is refused before it is opened where a plain stat can tell.
UniqueFd openRegularFile(const std::filesystem::path& path, std::string& reason) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        reason = "cannot open " + path.string() + ": " + std::strerror(errno);
        return UniqueFd();
    }
    UniqueFd file;
    if (S_ISREG(status.st_mode)) {
        file.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!file.isOpen()) {
            reason = "cannot open " + path.string() + ": " + std::strerror(errno);
            return file;
        }
        // What was opened decides: the path may name something else by now.
        if (::fstat(file.get(), &status) != 0) {
            reason = "cannot read " + path.string() + ": " + std::strerror(errno);
            return UniqueFd();
        }
    }
    if (!S_ISREG(status.st_mode)) {
        reason =
            path.string() + " is " + FileSaver::kindOfFile(status.st_mode) + ", not a regular file";
        return UniqueFd();
    }
    return file;
}

}  // namespace dravolin
