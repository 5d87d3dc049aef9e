#include "support/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace dravolin::test {

ChildProcess::ChildProcess(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    if (::posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
}

ChildProcess::~ChildProcess() {
    end(SIGKILL);
}

int ChildProcess::end(int signal) {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, signal);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
}

pid_t ChildProcess::endedProcessId() {
    ChildProcess child({"true"});
    const pid_t pid = child.pid();
    child.end(0);  // signal 0 sends nothing: only the wait for its end
    return pid;
}

}  // namespace dravolin::test
