#include "cli/cli_options.h"

#include <charconv>
#include <cstddef>
#include <string_view>

#include "core/language_choice.h"

namespace dravolin {

namespace {

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

// Reads the value of an option that takes one, advancing past it.
bool takeValue(const std::vector<std::string>& arguments, std::size_t& i, std::string& value,
               std::string& error) {
    if (i + 1 >= arguments.size()) {
        error = arguments[i] + " needs a value";
        return false;
    }
    value = arguments[++i];
    return true;
}

bool applyPort(const std::string& value, CliOptions& options, std::string& error) {
    const auto equals = value.find('=');
    int port = 0;
    if (!parseNumber(std::string_view(value).substr(0, equals), port) || !isOfferedPort(port)) {
        error = "--port takes a port number from 1 to 4, optionally as N=PATH: " + value;
        return false;
    }
    if (equals != std::string::npos && !options.portMap.addMapping(value, error)) {
        return false;
    }
    options.settings.port = port;
    return true;
}

bool applyOption(const std::vector<std::string>& arguments, std::size_t& i, CliOptions& options,
                 std::string& error) {
    const std::string& option = arguments[i];
    std::string value;
    if (!takeValue(arguments, i, value, error)) {
        return false;
    }
    if (option == "--port") {
        return applyPort(value, options, error);
    }
    if (option == "--baud") {
        int baud = 0;
        if (!parseNumber(value, baud) || !isOfferedBaudRate(baud)) {
            error = "--baud takes 9600, 19200, 38400 or 57600: " + value;
            return false;
        }
        options.settings.baudRate = baud;
        return true;
    }
    if (option == "--parity") {
        if (value != "O" && value != "E" && value != "N") {
            error = "--parity takes O, E or N: " + value;
            return false;
        }
        options.settings.parity = value[0];
        return true;
    }
    if (option == "--stop-bits") {
        if (value != "1" && value != "2") {
            error = "--stop-bits takes 1 or 2: " + value;
            return false;
        }
        options.settings.stopBits = value[0] - '0';
        return true;
    }
    if (option == "--language") {
        options.language = languageFromName(value);
        if (!options.language) {
            error = "--language takes de or en: " + value;
            return false;
        }
        return true;
    }
    if (option == "-o") {
        if (value.empty()) {
            error = "-o needs a file name";
            return false;
        }
        options.outputPath = value;
        return true;
    }
    error = "unknown option " + option;
    return false;
}

bool applyCommand(const std::vector<std::string>& words, CliOptions& options, std::string& error) {
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = words[0];
    if (command == "list" && words.size() == 1) {
        options.command = CliOptions::Command::List;
    } else if (command == "get" && words.size() == 2 && !words[1].empty()) {
        options.command = CliOptions::Command::Get;
        options.name = words[1];
    } else if (command == "put" && words.size() == 2 && !words[1].empty()) {
        options.command = CliOptions::Command::Put;
        options.inputPath = words[1];
    } else if (command == "list" || command == "get" || command == "put") {
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
    return true;
}

}  // namespace

bool CliOptions::parse(const std::vector<std::string>& arguments, CliOptions& options,
                       std::string& error) {
    // Asking for help is answered whatever else the line holds.
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            options.command = Command::Help;
            return true;
        }
    }
    std::vector<std::string> words;
    // --device maps the port chosen by --port, wherever the two stand.
    std::string device;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--device") {
            if (!takeValue(arguments, i, device, error)) {
                return false;
            }
            if (device.empty()) {
                error = "--device needs a path";
                return false;
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            if (!applyOption(arguments, i, options, error)) {
                return false;
            }
        } else {
            words.push_back(argument);
        }
    }
    if (!device.empty()) {
        options.portMap.map(options.settings.port, device);
    }
    return applyCommand(words, options, error);
}

std::string CliOptions::usage() {
    return "usage: dravolin-cli [--port N | --port N=PATH | --device PATH] [--baud B]\n"
           "                    [--parity O|E|N] [--stop-bits 1|2] [--language de|en] COMMAND\n"
           "\n"
           "Exchanges tag-data files (.tiv) with the programmer on a serial line.\n"
           "\n"
           "commands:\n"
           "  list                print the programmer's directory, one name a line\n"
           "  get NAME [-o FILE]  fetch NAME and write it to FILE (default: NAME.tiv here)\n"
           "  put FILE            send FILE under the name derived from its file name\n"
           "\n"
           "options:\n"
           "  --port N            use COM N, 1 to 4 (default 1: /dev/ttyS0)\n"
           "  --port N=PATH       use COM N and let it stand for the device PATH\n"
           "  --device PATH       let the chosen COM port stand for the device PATH\n"
           "  --baud B            9600 (default), 19200, 38400 or 57600\n"
           "  --parity P          O odd, E even (default), N none\n"
           "  --stop-bits S       1 (default) or 2\n"
           "  --language L        de or en: the language of the programmer's texts\n"
           "                      (default: German where LC_ALL, LC_MESSAGES or LANG asks)\n"
           "  --help              show this text\n"
           "\n"
           "exit status: 0 success, 1 the exchange failed (its letter and text on stderr),\n"
           "2 usage error.\n";
}

}  // namespace dravolin
