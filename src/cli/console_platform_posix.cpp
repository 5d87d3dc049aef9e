#include "cli/console_platform.h"

namespace dravolin {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void prepareConsole() {}

}  // namespace dravolin
