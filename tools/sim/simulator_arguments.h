#pragma once

#include <string>
#include <vector>

#include "sim/simulator_options.h"

namespace dravolin {

// The voska-sim command line turned into options.
struct SimulatorArguments {
    bool ok = false;
    bool helpAsked = false;
    bool versionAsked = false;
    SimulatorOptions options;
    std::string error;  // what is wrong with the command line, when not ok
};

// Parses the arguments after the program name. Each flag takes its value as the next
// argument or after '=' (--files=DIR).
SimulatorArguments parseSimulatorArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string simulatorHelp();

}  // namespace dravolin
