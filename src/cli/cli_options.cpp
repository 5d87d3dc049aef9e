#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "cli/system_usage.h"
#include "core/argument_scanner.h"
#include "core/language_choice.h"
#include "protocol/escaped_name.h"

namespace dravolin {

namespace {

using Takes = OptionRule::Takes;

bool parseNumber(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool isOfferedBaudRate(int baud) {
    return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600;
}

bool isOfferedPort(int port) {
    return port >= 1 && port <= 4;
}

bool applyPort(const std::string& value, CliOptions& options, std::string& error) {
    const auto equals = value.find('=');
    int port = 0;
    if (!parseNumber(std::string_view(value).substr(0, equals), port) || !isOfferedPort(port)) {
        error = "--port takes a port number from 1 to 4, optionally as N=PATH: " + value;
        return false;
    }
    if (equals != std::string::npos && !options.portMap.addMapping(value, error)) {
        error = "--port " + value + ": " + error;
        return false;
    }
    options.settings.port = port;
    return true;
}

bool applyBaud(const std::string& value, CliOptions& options, std::string& error) {
    int baud = 0;
    if (!parseNumber(value, baud) || !isOfferedBaudRate(baud)) {
        error = "--baud takes 9600, 19200, 38400 or 57600: " + value;
        return false;
    }
    options.settings.baudRate = baud;
    return true;
}

bool applyParity(const std::string& value, CliOptions& options, std::string& error) {
    if (value != "O" && value != "E" && value != "N") {
        error = "--parity takes O, E or N: " + value;
        return false;
    }
    options.settings.parity = value[0];
    return true;
}

bool applyStopBits(const std::string& value, CliOptions& options, std::string& error) {
    if (value != "1" && value != "2") {
        error = "--stop-bits takes 1 or 2: " + value;
        return false;
    }
    options.settings.stopBits = value[0] - '0';
    return true;
}

bool applyOutput(const std::string& value, CliOptions& options, std::string& error) {
    if (value.empty()) {
        error = "-o needs a file name";
        return false;
    }
    options.outputPath = value;
    return true;
}

bool applyTrace(const std::string& value, CliOptions& options, std::string& error) {
    static_cast<void>(error);
    options.trace = true;
    options.traceFile = value;
    return true;
}

bool applyLogLines(const std::string& value, CliOptions& options, std::string& error) {
    int lines = 0;
    if (!parseNumber(value, lines) || lines < 1) {
        error = "-n takes a number of lines, 1 or more: " + value;
        return false;
    }
    options.logLines = static_cast<std::size_t>(lines);
    options.logLinesGiven = true;
    return true;
}

bool applyLanguage(const std::string& value, CliOptions& options, std::string& error) {
    options.language = languageFromName(value);
    if (!options.language) {
        error = "--language takes de or en: " + value;
        return false;
    }
    return true;
}

// The options of dravolin-cli, one row each. --device is only noted here: it maps the
// port chosen by --port, wherever the two stand; find takes it more than once.
std::vector<OptionRule> optionTable(CliOptions& options, std::vector<std::string>& devices) {
    auto with = [&options](bool (*apply)(const std::string&, CliOptions&, std::string&)) {
        return [&options, apply](const std::string& value, std::string& error) {
            return apply(value, options, error);
        };
    };
    auto answered = [](const std::string&, std::string&) { return true; };
    return {
        {"--port", "", Takes::Value, false, with(applyPort)},
        {"--device", "", Takes::Value, true,
         [&devices](const std::string& value, std::string& error) {
             if (value.empty()) {
                 error = "--device needs a path";
                 return false;
             }
             devices.push_back(value);
             return true;
         }},
        {"--baud", "", Takes::Value, false, with(applyBaud)},
        {"--parity", "", Takes::Value, false, with(applyParity)},
        {"--stop-bits", "", Takes::Value, false, with(applyStopBits)},
        {"-o", "", Takes::Value, false, with(applyOutput)},
        {"-d", "", Takes::Value, false,
         [&options](const std::string& value, std::string& error) {
             if (value.empty()) {
                 error = "-d needs a folder";
                 return false;
             }
             options.folder = value;
             return true;
         }},
        {"--all", "", Takes::Nothing, false,
         [&options](const std::string&, std::string&) { return options.all = true; }},
        {"--replace", "", Takes::Nothing, false,
         [&options](const std::string&, std::string&) { return options.replace = true; }},
        {"--json", "", Takes::Nothing, false,
         [&options](const std::string&, std::string&) { return options.json = true; }},
        {"--no-saved-settings", "", Takes::Nothing, false,
         [&options](const std::string&, std::string&) {
             options.useSavedSettings = false;
             return true;
         }},
        {"--language", "", Takes::Value, false, with(applyLanguage)},
        {"--trace", "", Takes::OptionalValue, false, with(applyTrace)},
        {"-n", "", Takes::Value, false, with(applyLogLines)},
        // Answered before the line is read; rows so that "--help=x" is called wrong.
        {"--help", "-h", Takes::Nothing, false, answered},
        {"--version", "", Takes::Nothing, false, answered},
    };
}

// A name the operator typed, in the escaped form that `list` prints.
bool applyName(const std::string& typed, CliOptions& options, std::string& error) {
    const std::optional<std::string> name = nameFromEscaped(typed);
    if (!name) {
        error = "get: in " + shownText(typed) +
                " a backslash must start \\\\ (a backslash) or \\xHH (the byte HH), and"
                " every letter must be one of the programmer's Latin-1 letters";
        return false;
    }
    options.name = *name;
    return true;
}

bool applyCommand(const std::vector<std::string>& words, CliOptions& options, std::string& error) {
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = words[0];
    if (command == "list" && words.size() == 1) {
        options.command = CliOptions::Command::List;
    } else if (command == "get" && options.all && words.size() == 1) {
        options.command = CliOptions::Command::Get;
    } else if (command == "get" && !options.all && words.size() == 2 && !words[1].empty()) {
        options.command = CliOptions::Command::Get;
        if (!applyName(words[1], options, error)) {
            return false;
        }
    } else if (command == "put" && words.size() >= 2 &&
               std::none_of(words.begin() + 1, words.end(),
                            [](const std::string& word) { return word.empty(); })) {
        options.command = CliOptions::Command::Put;
        options.inputPaths.assign(words.begin() + 1, words.end());
        options.inputPath = words[1];
    } else if (command == "ports" && words.size() == 1) {
        options.command = CliOptions::Command::Ports;
    } else if (command == "log" && words.size() == 1) {
        options.command = CliOptions::Command::Log;
    } else if (command == "find" && words.size() == 1) {
        options.command = CliOptions::Command::Find;
    } else if (command == "list" || command == "get" || command == "put" || command == "ports" ||
               command == "log" || command == "find") {
        error = "wrong arguments for " + command;
        return false;
    } else {
        error = "unknown command " + command;
        return false;
    }
    if (!options.outputPath.empty() && options.command != CliOptions::Command::Get) {
        error = "-o goes with get only";
        return false;
    }
    if (!options.outputPath.empty() && options.all) {
        error = "-o goes with get NAME; get --all takes -d DIR";
        return false;
    }
    const bool backup = options.command == CliOptions::Command::Get && options.all;
    if (!backup && (options.all || options.replace || !options.folder.empty())) {
        error = "--all, -d and --replace go with get only, as get --all [-d DIR] [--replace]";
        return false;
    }
    if (options.json && options.command != CliOptions::Command::Ports &&
        options.command != CliOptions::Command::Find) {
        error = "--json goes with ports and find only";
        return false;
    }
    if (options.logLinesGiven && options.command != CliOptions::Command::Log) {
        error = "-n goes with log only";
        return false;
    }
    return true;
}

}  // namespace

bool CliOptions::parse(const std::vector<std::string>& arguments, CliOptions& options,
                       std::string& error) {
    // Asking for help or the version is answered whatever else the line holds.
    if (ArgumentScanner::asksFor(arguments, {"--help", "-h"})) {
        options.command = Command::Help;
        return true;
    }
    if (ArgumentScanner::asksFor(arguments, {"--version"})) {
        options.command = Command::Version;
        return true;
    }
    std::vector<std::string> devices;
    std::vector<std::string> words;
    if (!ArgumentScanner(optionTable(options, devices)).scan(arguments, words, error) ||
        !applyCommand(words, options, error)) {
        return false;
    }
    if (options.command == Command::Find) {
        options.findDevices = devices;
    } else if (devices.size() > 1) {
        error = "--device may be given once, except with find";
        return false;
    } else if (!devices.empty()) {
        options.portMap.map(options.settings.port, devices.front());
    }
    return true;
}

void CliOptions::takeSaved(const SavedSettings& saved) {
    const std::int32_t language = settings.language;
    settings = saved.line;
    settings.language = language;
    for (const auto& [port, device] : saved.portDevices) {
        portMap.map(port, device);
    }
}

std::string CliOptions::usage() {
    return "usage: dravolin-cli [--port N | --port N=PATH | --device PATH] [--baud B]\n"
           "                    [--parity O|E|N] [--stop-bits 1|2] [--language de|en]\n"
           "                    [--no-saved-settings] [--trace[=FILE]] COMMAND\n"
           "\n"
           "Exchanges tag-data files (.tiv) with the programmer on a serial line.\n"
           "\n"
           "commands:\n"
           "  list                print the programmer's directory, one name a line\n"
           "  get NAME [-o FILE]  fetch NAME and write it to FILE (default: NAME.tiv here,\n"
           "                      never replacing a file that is there)\n"
           "  get --all [-d DIR] [--replace]\n"
           "                      back up every file: fetch each listed file in turn into\n"
           "                      DIR (default: here) as NAME.tiv and print one line per\n"
           "                      file; an existing NAME.tiv is kept (and reported) unless\n"
           "                      --replace is given\n"
           "  put FILE...         send each FILE in turn under the name derived from its\n"
           "                      file name; with several, one line per file\n"
           "  ports [--json]      list the serial devices found, one a line: path, stable\n"
           "                      name, description and the Com ports that stand for it;\n"
           "                      --json prints a JSON array instead\n"
           "  log [-n N]          print the last N lines of the transfer log (default 20),\n"
           "                      oldest first\n"
           "  find [--device PATH]... [--json]\n"
           "                      find the programmer: ask each device (those named, in\n"
           "                      that order, else the USB adapters found, then the built-in\n"
           "                      ports) at each line setting (the saved ones, 9600 8E1, then\n"
           "                      the other 22) for its directory; print the device, the\n"
           "                      settings and the number of files, tab-separated (--json:\n"
           "                      as a JSON object). The system's console and devices that\n"
           "                      are locked, busy or not yours to open are left alone\n"
           "\n"
           "options:\n"
           "  --port N            use COM N, 1 to 4 (default: the saved one, else 1)\n"
           "  --port N=PATH       use COM N and let it stand for the device PATH\n"
           "  --device PATH       let the chosen COM port stand for the device PATH; with\n"
           "                      find: search PATH (repeatable)\n"
           "  --baud B            9600, 19200, 38400 or 57600 (default: saved, else 9600)\n"
           "  --parity P          O odd, E even, N none (default: saved, else E)\n"
           "  --stop-bits S       1 or 2 (default: saved, else 1)\n"
           "  --no-saved-settings start from COM1, 9600 baud, even parity, 1 stop bit and\n"
           "                      Com N = " +
           defaultDeviceUsage() +
           ", whatever the window saved\n"
           "  --language L        de or en: the language of the programmer's texts\n"
           "                      (default: " +
           defaultLanguageUsage() +
           ")\n"
           "  --trace[=FILE]      write a protocol trace to standard error, or append it to\n"
           "                      FILE: every frame sent and every run of reply bytes\n"
           "                      received in hex, with the time to the millisecond\n"
           "  -h, --help          show this text\n"
           "  --version           show the version\n"
           "Options take their value as the next argument or after '=' (--baud=19200); each\n"
           "may be given once. \"--\" ends the options: get -- -NAME fetches a name that\n"
           "begins with '-'.\n"
           "\n"
           "names: the programmer's names are printed with their Latin-1 letters as letters,\n"
           "every control byte as \\xHH (two hex digits) and a backslash as \\\\, so that\n"
           "a name cannot drive the terminal or split a line. get takes a name in the same\n"
           "form: copy it from the list (" +
           quotedNameUsage() +
           ").\n"
           "\n" +
           keptFilesUsage() +
           "\n"
           "exit status: 0 success, 1 the exchange failed (its letter and text on stderr),\n"
           "standard output could not be written, or find found nothing, 2 usage error.\n"
           "get --all and put with several files exit 0 only when every file was\n"
           "transferred: a file that failed, was skipped or was kept makes it 1. A run\n"
           "stops when the programmer does not answer.\n" +
           stoppedUsage();
}

}  // namespace dravolin
