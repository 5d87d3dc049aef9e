// The command line of dravolin-cli: any arguments, split at the NUL bytes of the input.

#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "fuzz_support.h"
#include "protocol/escaped_name.h"

using namespace dravolin;
using dravolin::fuzz::require;

namespace {

bool isOfferedBaudRate(int baud) {
    return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600;
}

void checkConsistent(const CliOptions& options) {
    const PortSettings& settings = options.settings;
    require(settings.port >= 1 && settings.port <= 4, "the port is Com 1 to 4");
    require(isOfferedBaudRate(settings.baudRate), "the baud rate is one of those offered");
    require(settings.parity == 'O' || settings.parity == 'E' || settings.parity == 'N',
            "the parity is O, E or N");
    require(settings.stopBits == 1 || settings.stopBits == 2, "one or two stop bits");
    require(settings.dataBits == 8, "always eight data bits");
    for (const auto& [port, path] : options.portMap.mappings()) {
        require(port >= 1 && port <= 4 && !path.empty(), "a mapping maps Com 1 to 4 to a path");
    }
    switch (options.command) {
        case CliOptions::Command::None:
            require(false, "a successful parse names a command");
            break;
        case CliOptions::Command::Get:
            require(options.all == options.name.empty(), "get names a file, or --all");
            break;
        case CliOptions::Command::Put:
            require(!options.inputPaths.empty() && options.inputPaths.front() == options.inputPath,
                    "put names its files, the first as inputPath");
            for (const std::string& path : options.inputPaths) {
                require(!path.empty(), "put names no empty file");
            }
            break;
        case CliOptions::Command::Help:
        case CliOptions::Command::Version:
        case CliOptions::Command::List:
        case CliOptions::Command::Ports:
        case CliOptions::Command::Log:
        case CliOptions::Command::Find:
            break;
    }
    require(!options.json || options.command == CliOptions::Command::Ports ||
                options.command == CliOptions::Command::Find ||
                options.command == CliOptions::Command::Help ||
                options.command == CliOptions::Command::Version,
            "--json goes with ports and find only");
    require(options.outputPath.empty() || options.command == CliOptions::Command::Get ||
                options.command == CliOptions::Command::Help,
            "-o goes with get only");
    const bool backup = options.command == CliOptions::Command::Get && options.all;
    const bool answered = options.command == CliOptions::Command::Help ||
                          options.command == CliOptions::Command::Version;
    require(answered || backup || (!options.all && !options.replace && options.folder.empty()),
            "--all, -d and --replace go with get only");
    require(!backup || options.outputPath.empty(), "get --all takes no -o");
}

// The options written out again as a command line, the name of get in the escaped form
// that list prints; empty when they cannot be (mappings of other ports than the one used),
// so the round trip covers what one command line can say.
std::vector<std::string> commandLineOf(const CliOptions& options) {
    const auto& mappings = options.portMap.mappings();
    if (mappings.size() > 1 ||
        (mappings.size() == 1 && mappings.begin()->first != options.settings.port)) {
        return {};
    }
    const PortSettings& settings = options.settings;
    std::string port = "--port=" + std::to_string(settings.port);
    if (!mappings.empty()) {
        port += "=" + mappings.begin()->second;
    }
    std::vector<std::string> line = {
        port, "--baud=" + std::to_string(settings.baudRate),
        "--parity=" + std::string(1, static_cast<char>(settings.parity)),
        "--stop-bits=" + std::to_string(settings.stopBits)};
    if (!options.outputPath.empty()) {
        line.insert(line.end(), {"-o", options.outputPath});
    }
    if (options.json) {
        line.push_back("--json");
    }
    if (options.all) {
        line.push_back("--all");
    }
    if (!options.folder.empty()) {
        line.insert(line.end(), {"-d", options.folder});
    }
    if (options.replace) {
        line.push_back("--replace");
    }
    if (!options.useSavedSettings) {
        line.push_back("--no-saved-settings");
    }
    // Operands after "--", as names that begin with '-' need.
    line.push_back("--");
    switch (options.command) {
        case CliOptions::Command::List:
            line.push_back("list");
            break;
        case CliOptions::Command::Get:
            line.push_back("get");
            if (!options.all) {
                line.push_back(escapedName(options.name));
            }
            break;
        case CliOptions::Command::Put:
            line.push_back("put");
            line.insert(line.end(), options.inputPaths.begin(), options.inputPaths.end());
            break;
        case CliOptions::Command::Ports:
            line.push_back("ports");
            break;
        default:
            return {};
    }
    return line;
}

bool sameOptions(const CliOptions& a, const CliOptions& b) {
    return a.command == b.command && a.settings.port == b.settings.port &&
           a.settings.baudRate == b.settings.baudRate && a.settings.parity == b.settings.parity &&
           a.settings.stopBits == b.settings.stopBits &&
           a.portMap.mappings() == b.portMap.mappings() && a.name == b.name &&
           a.outputPath == b.outputPath && a.inputPath == b.inputPath && a.json == b.json &&
           a.useSavedSettings == b.useSavedSettings && a.inputPaths == b.inputPaths &&
           a.all == b.all && a.folder == b.folder && a.replace == b.replace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> arguments = fuzz::argumentsFrom(std::span(data, size));
    CliOptions options;
    std::string error;
    const bool parsed = CliOptions::parse(arguments, options, error);
    if (!parsed) {
        require(!error.empty(), "a refused command line says what is wrong");
        return 0;
    }
    checkConsistent(options);
    if (!arguments.empty() && arguments[0] == "--help") {
        require(options.command == CliOptions::Command::Help, "--help first asks for help");
    }

    const std::vector<std::string> line = commandLineOf(options);
    if (line.empty()) {
        return 0;
    }
    CliOptions again;
    std::string againError;
    require(CliOptions::parse(line, again, againError) && sameOptions(options, again),
            "the options written out as a command line parse back the same");
    return 0;
}
