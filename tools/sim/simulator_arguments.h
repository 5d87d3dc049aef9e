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

// Parses the arguments after the program name as the other programs read theirs: each
// flag takes its value as the next argument or after '=' (--files=DIR), and only the
// flags the help calls repeatable may be given twice.
SimulatorArguments parseSimulatorArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string simulatorHelp();

}  // namespace dravolin
