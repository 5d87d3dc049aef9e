#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "core/port_settings.h"
#include "core/settings_file.h"
#include "serial/port_map.h"

namespace dravolin {

// The command line of dravolin-cli:
//   dravolin-cli [--port N | --port N=PATH | --device PATH] [--baud B] [--parity O|E|N]
//                [--stop-bits 1|2] [--language de|en] [--no-saved-settings]
//                [--trace[=FILE]] COMMAND
// with COMMAND one of: list | get NAME [-o FILE] | get --all [-d DIR] [--replace] |
// put FILE... | ports [--json] | log [-n N] | find [--device PATH]... [--json]. Options are read as
// ArgumentScanner reads them
// (--opt=value, "--" before operands that begin with '-', an option given twice is refused);
// add an option as a row of the table in cli_options.cpp.
struct CliOptions {
    enum class Command { None, Help, Version, List, Get, Put, Ports, Log, Find };

    Command command = Command::None;
    PortSettings settings;  // the record's defaults: COM1, 9600, E, 8, 1
    PortMap portMap;
    std::string name;        // get: the device's name of the file, its escapes resolved
    std::string outputPath;  // get: -o FILE; empty for NAME.tiv in the current folder
    std::string inputPath;   // put: the file to send (the first of several)
    std::vector<std::string> inputPaths;  // put: every file to send, in order
    bool all = false;                     // get --all: every file the programmer holds
    std::string folder;                   // get --all: -d DIR; empty for the current folder
    bool replace = false;                 // get --all: existing NAME.tiv files are replaced
    // --language; without it the locale decides.
    std::optional<Language> language;
    bool json = false;  // ports, find: as JSON
    // find: --device PATH..., the devices to search in this order; empty for those found.
    std::vector<std::string> findDevices;
    // --trace: the protocol trace goes to standard error, or with --trace=FILE to FILE.
    bool trace = false;
    std::string traceFile;
    std::size_t logLines = 20;  // log: -n N, the lines printed
    bool logLinesGiven = false;
    bool useSavedSettings = true;

    // Starts from what the window saved; the options given then override it.
    void takeSaved(const SavedSettings& saved);

    // False with a message for the operator when the arguments do not make a command.
    static bool parse(const std::vector<std::string>& arguments, CliOptions& options,
                      std::string& error);

    static std::string usage();
};

}  // namespace dravolin
