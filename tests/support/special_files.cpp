#include "support/special_files.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

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
    if (S_ISREG(status.st_mode)) {
        return "file";
    }
    if (S_ISDIR(status.st_mode)) {
        return "folder";
    }
    if (S_ISFIFO(status.st_mode)) {
        return "fifo";
    }
    if (S_ISSOCK(status.st_mode)) {
        return "socket";
    }
    if (S_ISLNK(status.st_mode)) {
        return "link";
    }
    return "device";
}

}  // namespace dravolin::test
