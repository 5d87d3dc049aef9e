#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/message_catalog.h"
#include "serial/port_map.h"

namespace dravolin {

// The options of the desktop program, read as ArgumentScanner reads every command line:
//   dravolin [--port N=PATH]... [--language de|en] [--trace[=FILE]] [--help] [--version]
class CommandLine {
public:
    enum class Action { Run, ShowHelp, ShowVersion, UsageError };

    // `arguments` without the program's name, as programArguments() gives them.
    static CommandLine parse(const std::vector<std::string>& arguments);

    // "usage: dravolin [--port N=PATH]... [--language de|en] [--trace[=FILE]] [--help] ..."
    static std::string usageLine();
    // The usage line and what each option does.
    static std::string helpText();

    Action action() const { return action_; }
    const PortMap& portMap() const { return portMap_; }
    // --language; without it the locale decides.
    std::optional<Language> language() const { return language_; }
    // --trace: the file to trace to, empty for standard error; nothing without --trace.
    const std::optional<std::string>& trace() const { return trace_; }
    // Why the arguments were refused, for a usage error.
    const std::string& error() const { return error_; }

private:
    bool addPort(const std::string& mapping, std::string& error);

    Action action_ = Action::Run;
    PortMap portMap_;
    std::optional<Language> language_;
    std::optional<std::string> trace_;
    std::string error_;
};

}  // namespace dravolin
