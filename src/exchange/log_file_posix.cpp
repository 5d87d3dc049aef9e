#include "exchange/log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/unique_fd.h"

namespace dravolin {

bool readWholeFile(const std::string& path, std::string& text, bool& missing, std::string& error) {
    missing = false;
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.isOpen()) {
        missing = errno == ENOENT;
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        if (got == 0) {
            return true;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
}

}  // namespace dravolin
