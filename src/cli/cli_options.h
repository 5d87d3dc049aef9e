#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "core/port_settings.h"
#include "serial/port_map.h"

namespace dravolin {

// The command line of dravolin-cli:
//   dravolin-cli [--port N | --port N=PATH | --device PATH] [--baud B] [--parity O|E|N]
//                [--stop-bits 1|2] [--language de|en] COMMAND
// with COMMAND one of: list | get NAME [-o FILE] | put FILE. Options are read as
// ArgumentScanner reads them (--opt=value, "--" before operands that begin with '-', an
// option given twice is refused); add an option as a row of the table in cli_options.cpp.
struct CliOptions {
    enum class Command { None, Help, Version, List, Get, Put };

    Command command = Command::None;
    PortSettings settings;  // the record's defaults: COM1, 9600, E, 8, 1
    PortMap portMap;
    std::string name;        // get: the device's name of the file, its escapes resolved
    std::string outputPath;  // get: -o FILE; empty for NAME.tiv in the current folder
    std::string inputPath;   // put: the file to send
    // --language; without it the locale decides.
    std::optional<Language> language;

    // False with a message for the operator when the arguments do not make a command.
    static bool parse(const std::vector<std::string>& arguments, CliOptions& options,
                      std::string& error);

    static std::string usage();
};

}  // namespace dravolin
