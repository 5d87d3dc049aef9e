#include "app/command_line.h"

namespace dravolin {

namespace {

constexpr std::string_view kPortOption = "--port";
constexpr std::string_view kPortOptionWithValue = "--port=";

}  // namespace

CommandLine CommandLine::parse(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc && line.action_ == Action::Run; ++i) {
        const std::string_view argument = argv[i];
        std::string_view mapping;
        if (argument == "--help" || argument == "-h") {
            line.action_ = Action::ShowHelp;
            continue;
        }
        if (argument == kPortOption) {
            if (i + 1 >= argc) {
                line.refuse("--port needs a value N=PATH");
                continue;
            }
            mapping = argv[++i];
        } else if (argument.starts_with(kPortOptionWithValue)) {
            mapping = argument.substr(kPortOptionWithValue.size());
        } else if (argument.starts_with("-")) {
            line.refuse("unknown option " + std::string(argument));
            continue;
        } else {
            line.refuse("unexpected argument " + std::string(argument));
            continue;
        }
        std::string reason;
        if (!line.portMap_.addMapping(mapping, reason)) {
            line.refuse("--port " + std::string(mapping) + ": " + reason);
        }
    }
    return line;
}

void CommandLine::refuse(std::string reason) {
    action_ = Action::UsageError;
    error_ = std::move(reason);
}

std::string CommandLine::usageLine() {
    return "usage: dravolin [--port N=PATH]... [--help]";
}

std::string CommandLine::helpText() {
    return usageLine() +
           "\n\n"
           "Exchanges tag-data files with the Voska handheld programmer.\n\n"
           "  --port N=PATH  use device PATH for Com port N (1 to 4) in this run, without\n"
           "                 saving it; may be repeated. Otherwise Com N is the device chosen\n"
           "                 in the port settings, else /dev/ttyS(N-1).\n"
           "  -h, --help     show this text and exit.\n"
           "\n"
           "The port settings confirmed with OK, the device of each Com port and the last\n"
           "folder of each file dialog are kept in $XDG_CONFIG_HOME/dravolin/dravolin.conf\n"
           "(normally ~/.config/dravolin/dravolin.conf).\n";
}

}  // namespace dravolin
