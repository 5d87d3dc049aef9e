#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

struct Parsed {
    bool ok;
    CliOptions options;
    std::string error;
};

Parsed parse(std::vector<std::string> arguments) {
    Parsed parsed{};
    parsed.ok = CliOptions::parse(arguments, parsed.options, parsed.error);
    return parsed;
}

// What a command line set, in words: the command, the Com port and line, then what else it gave.
std::string described(const CliOptions& options) {
    const char* commands[] = {"none", "help",  "version", "list", "get",
                              "put",  "ports", "log",     "find"};
    const PortSettings& line = options.settings;
    std::string text = std::string(commands[static_cast<int>(options.command)]) + " COM" +
                       std::to_string(line.port) + " baud=" + std::to_string(line.baudRate) +
                       " parity=" + static_cast<char>(line.parity) +
                       " data=" + std::to_string(line.dataBits) +
                       " stop=" + std::to_string(line.stopBits);
    for (const auto& [port, path] : options.portMap.mappings()) {
        text += " COM" + std::to_string(port) + "=" + path;
    }
    text += (options.name.empty() ? "" : " name=" + options.name) +
            (options.outputPath.empty() ? "" : " -o " + options.outputPath) +
            (options.inputPath.empty() ? "" : " file " + options.inputPath) +
            (options.folder.empty() ? "" : " -d " + options.folder);
    for (const std::string& device : options.findDevices) {
        text += " search " + device;
    }
    return text + (options.all ? " --all" : "") + (options.replace ? " --replace" : "") +
           (options.json ? " --json" : "");
}

// --device maps the port, or with find names a device; after "--" nothing is an option.
TEST(CliOptions, LineSettingsPortsValuesAfterEqualsAndOperandsAfterTheEndOfOptions) {
    const std::string line = " baud=9600 parity=E data=8 stop=1";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--port", "3", "--baud", "57600", "--parity", "N", "--stop-bits", "2", "put", "x.tiv"},
         "put COM3 baud=57600 parity=N data=8 stop=2 file x.tiv"},
        {{"--device", "/dev/pts/7", "--port", "2", "get", "TAG1", "-o", "a"},
         "get COM2" + line + " COM2=/dev/pts/7 name=TAG1 -o a"},
        {{"--device", "/dev/ttyUSB1", "find", "--device=/dev/pts/2", "--json"},
         "find COM1" + line + " search /dev/ttyUSB1 search /dev/pts/2 --json"},
        {{"--port", "4=/dev/ttyUSB0", "list"}, "list COM4" + line + " COM4=/dev/ttyUSB0"},
        {{"--baud=19200", "--port=2=/dev/pts/3", "get", "--", "-DASH"},
         "get COM2 baud=19200 parity=E data=8 stop=1 COM2=/dev/pts/3 name=-DASH"},
        {{"put", "--", "--help"}, "put COM1" + line + " file --help"},
        {{"put", "-"}, "put COM1" + line + " file -"},
        {{"-o", "-out.tiv", "get", "A"}, "get COM1" + line + " name=A -o -out.tiv"},
        {{"get", "--all", "-d", "out", "--replace"}, "get COM1" + line + " -d out --all --replace"},
    };
    for (const auto& [arguments, options] : cases) {
        const Parsed parsed = parse(arguments);
        EXPECT_TRUE(parsed.ok) << parsed.error;
        EXPECT_EQ(described(parsed.options), options);
    }
    // Help and version win over everything else.
    EXPECT_EQ(parse({"--bogus", "--help"}).options.command, CliOptions::Command::Help);
    EXPECT_EQ(parse({"list", "-h"}).options.command, CliOptions::Command::Help);
    EXPECT_EQ(parse({"--baud", "1", "--version"}).options.command, CliOptions::Command::Version);
    EXPECT_EQ(parse({"--version", "--help"}).options.command, CliOptions::Command::Help);
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no command"},
        {{"fetch"}, "unknown command fetch"},
        {{"get"}, "wrong arguments for get"},
        {{"put", "a", ""}, "wrong arguments for put"},
        {{"get", "--all", "X"}, "wrong arguments for get"},
        {{"get", "--all", "-o", "f"}, "get --all takes -d DIR"},
        {{"get", "X", "--replace"}, "--replace go with get only"},
        {{"--all", "list"}, "--all, -d and --replace go with get only"},
        {{"get", "--all", "-d", ""}, "-d needs a folder"},
        {{"--baud", "1234", "list"}, "--baud takes"},
        {{"--baud"}, "--baud needs a value"},
        {{"--parity", "X", "list"}, "--parity takes"},
        {{"--stop-bits", "3", "list"}, "--stop-bits takes"},
        {{"--port", "5", "list"}, "--port takes a port number from 1 to 4"},
        {{"--port", "2=", "list"}, "no device path given for port 2"},
        {{"--device", "", "list"}, "--device needs a path"},
        {{"--device", "/dev/a", "--device", "/dev/b", "list"}, "--device may be given once"},
        {{"find", "x"}, "wrong arguments for find"},
        {{"--json", "list"}, "--json goes with ports and find only"},
        {{"--verbose", "list"}, "unknown option --verbose"},
        {{"-x", "list"}, "unknown option -x"},
        {{"--version=2", "list"}, "--version takes no value"},
        {{"--baud", "9600", "--baud=9600", "list"}, "--baud is given more than once"},
        {{"--port", "1", "--port", "2", "list"}, "--port is given more than once"},
        {{"-o", "a", "get", "X", "-o", "b"}, "-o is given more than once"},
        {{"-o", "f", "list"}, "-o goes with get only"},
        {{"--language", "fr", "list"}, "--language takes de or en"},
        {{"ports", "x"}, "wrong arguments for ports"},
        {{"get", "A\\qB"}, "a backslash must start"},
        {{"--trace", "--trace=f", "list"}, "--trace is given more than once"},
        {{"-n", "5", "list"}, "-n goes with log only"},
        {{"log", "-n", "0"}, "-n takes a number of lines, 1 or more"},
        {{"log", "extra"}, "wrong arguments for log"},
    };
    for (const auto& [arguments, message] : cases) {
        const Parsed p = parse(arguments);
        EXPECT_FALSE(p.ok) << message;
        EXPECT_NE(p.error.find(message), std::string::npos) << p.error;
    }
}

TEST(CliOptions, SavedSettingsAreTheStartAndEachOptionGivenOverridesThem) {
    SavedSettings saved;
    saved.line = {.baudRate = 38400, .parity = 'O', .stopBits = 2, .port = 3};
    saved.portDevices = {{3, "/dev/ttyUSB0"}, {4, "/dev/ttyACM0"}};
    CliOptions options;
    options.takeSaved(saved);
    std::string error;
    ASSERT_TRUE(CliOptions::parse({"--baud", "9600", "list"}, options, error)) << error;
    EXPECT_EQ(described(options),
              "list COM3 baud=9600 parity=O data=8 stop=2 COM3=/dev/ttyUSB0 COM4=/dev/ttyACM0");

    CliOptions other;
    other.takeSaved(saved);
    ASSERT_TRUE(CliOptions::parse({"--port", "4", "--device", "/dev/pts/3", "list"}, other, error))
        << error;
    EXPECT_EQ(described(other),
              "list COM4 baud=38400 parity=O data=8 stop=2 COM3=/dev/ttyUSB0 COM4=/dev/pts/3");
}

}  // namespace
}  // namespace dravolin
