#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <termios.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace dravolin {

namespace {

std::string failed(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

bool PseudoTerminal::open(std::string& error) {
    existing_ = false;
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master_.isOpen()) {
        error = failed("cannot open a pseudo-terminal");
        return false;
    }
    if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) {
        error = failed("cannot unlock the pseudo-terminal");
        master_.reset();
        return false;
    }
    std::array<char, 128> name{};
    if (::ptsname_r(master_.get(), name.data(), name.size()) != 0) {
        error = failed("cannot name the pseudo-terminal");
        master_.reset();
        return false;
    }
    slavePath_ = name.data();
    if (!makeSlaveRaw(error)) {
        master_.reset();
        return false;
    }
    return true;
}

bool PseudoTerminal::openExisting(const std::string& path, std::string& error) {
    master_.reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master_.isOpen()) {
        error = failed(("cannot open " + path).c_str());
        return false;
    }
    if (!makeRaw(master_.get(), error)) {
        error = path + ": " + error;
        master_.reset();
        return false;
    }
    slavePath_ = path;
    existing_ = true;
    return true;
}

void PseudoTerminal::closeMaster() {
    // What the device wrote and the other end has not taken would reach whoever comes to the
    // line next; closing our own master drops it, an existing terminal keeps it unless told.
    if (existing_ && master_.isOpen()) {
        ::tcflush(master_.get(), TCOFLUSH);
    }
    master_.reset();
}

bool PseudoTerminal::makeSlaveRaw(std::string& error) const {
    const UniqueFd slave(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.isOpen()) {
        error = failed(("cannot open " + slavePath_).c_str());
        return false;
    }
    return makeRaw(slave.get(), error);
}

bool PseudoTerminal::makeRaw(int fd, std::string& error) {
    termios modes{};
    if (::tcgetattr(fd, &modes) != 0) {
        error = failed("cannot read the terminal modes");
        return false;
    }
    ::cfmakeraw(&modes);
    if (::tcsetattr(fd, TCSANOW, &modes) != 0) {
        error = failed("cannot set the terminal modes");
        return false;
    }
    return true;
}

}  // namespace dravolin
