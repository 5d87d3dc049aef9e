#include "app/command_line.h"

#include <vector>

#include "app/system_help.h"
#include "core/argument_scanner.h"
#include "core/language_choice.h"

namespace dravolin {

namespace {

// The settings dialog offers Com 1 to 4 and nothing else.
constexpr int kLastPort = 4;

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    if (ArgumentScanner::asksFor(arguments, {"--help", "-h"})) {
        line.action_ = Action::ShowHelp;
        return line;
    }
    if (ArgumentScanner::asksFor(arguments, {"--version"})) {
        line.action_ = Action::ShowVersion;
        return line;
    }
    auto answered = [](const std::string&, std::string&) { return true; };
    const ArgumentScanner scanner({
        {"--port", "", OptionRule::Takes::Value, true,
         [&line](const std::string& value, std::string& error) {
             return line.addPort(value, error);
         }},
        {"--language", "", OptionRule::Takes::Value, false,
         [&line](const std::string& value, std::string& error) {
             line.language_ = languageFromName(value);
             if (!line.language_) {
                 error = "--language takes de or en: " + value;
             }
             return line.language_.has_value();
         }},
        {"--trace", "", OptionRule::Takes::OptionalValue, false,
         [&line](const std::string& value, std::string&) {
             line.trace_ = value;
             return true;
         }},
        {"--help", "-h", OptionRule::Takes::Nothing, false, answered},
        {"--version", "", OptionRule::Takes::Nothing, false, answered},
    });
    std::vector<std::string> operands;
    std::string error;
    if (!scanner.scan(arguments, operands, error)) {
        line.action_ = Action::UsageError;
        line.error_ = error;
    } else if (!operands.empty()) {
        line.action_ = Action::UsageError;
        line.error_ = "unexpected argument " + operands.front();
    }
    return line;
}

// One mapping per Com port: a second one for the same port is refused rather than
// silently winning.
bool CommandLine::addPort(const std::string& mapping, std::string& error) {
    PortMap added;
    if (!added.addMapping(mapping, error)) {
        error = "--port " + mapping + ": " + error;
        return false;
    }
    const auto& [port, path] = *added.mappings().begin();
    if (port > kLastPort) {
        error = "--port " + mapping + ": the port number must be 1 to 4 (Com 1 to Com 4)";
        return false;
    }
    if (portMap_.mappings().contains(port)) {
        error = "--port maps Com " + std::to_string(port) + " more than once";
        return false;
    }
    portMap_.map(port, path);
    return true;
}

std::string CommandLine::usageLine() {
    return "usage: dravolin [--port N=PATH]... [--language de|en] [--trace[=FILE]] [--help]\n"
           "                [--version]";
}

std::string CommandLine::helpText() {
    return usageLine() +
           "\n\n"
           "Exchanges tag-data files with the Voska handheld programmer.\n\n" +
           portOptionHelp() + languageOptionHelp() +
           "  --trace[=FILE] write a protocol trace of every exchange to standard error, or\n"
           "                 append it to FILE: each frame sent and each run of reply bytes\n"
           "                 received in hex, with the time to the millisecond. The menu\n"
           "                 item \"?\" -> \"Protocol trace\" switches it on and off.\n"
           "  -h, --help     show this text and exit.\n"
           "  --version      show the version and exit.\n"
           "\n" +
           keptFilesHelp();
}

}  // namespace dravolin
