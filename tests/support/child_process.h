#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace dravolin::test {

// Another program, started for a test and ended (and waited for) when the test is done.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& command);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Sends `signal` and waits until the process has ended; its wait status.
    int end(int signal);

    // The id of a process that has just ended: nobody has it now.
    static pid_t endedProcessId();

private:
    pid_t pid_ = -1;
};

}  // namespace dravolin::test
