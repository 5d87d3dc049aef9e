#include "core/program_start.h"

#include <signal.h>

namespace dravolin {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void prepareStandardStreams() {
    // A reader that has gone (`| head -1`) makes a write fail with EPIPE instead of ending
    // the program unannounced; the failure is then reported as any other output failure.
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace dravolin
