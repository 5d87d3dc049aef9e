#include "exchange/state_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace dravolin {

namespace {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    // A session without HOME (a service, sudo -H): the account's own home.
    const passwd* account = ::getpwuid(::getuid());
    return account != nullptr && account->pw_dir != nullptr ? account->pw_dir : "/";
}

}  // namespace

std::string stateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // Relative paths are to be ignored, as the desktop's base directory rules say.
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/dravolin";
    }
    return homeFolder() + "/.local/state/dravolin";
}

bool makeFolderPath(const std::string& folder, std::string& error) {
    std::string path;
    std::size_t position = 0;
    while (position < folder.size()) {
        const std::size_t slash = folder.find('/', position + 1);
        const std::size_t end = slash == std::string::npos ? folder.size() : slash;
        path = folder.substr(0, end);
        position = end;
        if (path.empty() || path == "/") {
            continue;
        }
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make the folder " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    return true;
}

}  // namespace dravolin
