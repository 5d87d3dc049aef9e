#include "support/special_files.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace dravolin::test {

void makeFifo(const std::filesystem::path& path) {
    EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0) << path << ": " << std::strerror(errno);
}

UniqueFd makeSocket(const std::filesystem::path& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    EXPECT_LT(path.string().size(), sizeof address.sun_path) << path;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0)
        << path << ": " << std::strerror(errno);
    return fd;
}

std::string kindAt(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return "nothing";
    }
    const std::pair<mode_t, const char*> kinds[] = {{S_IFREG, "file"},
                                                    {S_IFDIR, "folder"},
                                                    {S_IFIFO, "fifo"},
                                                    {S_IFSOCK, "socket"},
                                                    {S_IFLNK, "link"}};
    for (const auto& [type, kind] : kinds) {
        if ((status.st_mode & S_IFMT) == type) {
            return kind;
        }
    }
    return "device";
}

}  // namespace dravolin::test
