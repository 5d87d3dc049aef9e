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

TEST(CliOptions, LineSettingsPortsValuesAfterEqualsAndOperandsAfterTheEndOfOptions) {
    const Parsed line = parse(
        {"--port", "3", "--baud", "57600", "--parity", "N", "--stop-bits", "2", "put", "x.tiv"});
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_EQ(line.options.settings.port, 3);
    EXPECT_EQ(line.options.settings.settingsString(), "baud=57600 parity=N data=8 stop=2");
    EXPECT_EQ(line.options.inputPath, "x.tiv");

    // --device maps the chosen port wherever it stands.
    const Parsed device =
        parse({"--device", "/dev/pts/7", "--port", "2", "get", "TAG1", "-o", "a"});
    ASSERT_TRUE(device.ok) << device.error;
    EXPECT_EQ(device.options.settings.port, 2);
    EXPECT_EQ(device.options.portMap.devicePath(2), "/dev/pts/7");
    EXPECT_EQ(device.options.name, "TAG1");
    EXPECT_EQ(device.options.outputPath, "a");

    // find takes --device more than once: the devices to search, in order, none mapped.
    const Parsed find =
        parse({"--device", "/dev/ttyUSB1", "find", "--device=/dev/pts/2", "--json"});
    ASSERT_TRUE(find.ok) << find.error;
    EXPECT_EQ(find.options.command, CliOptions::Command::Find);
    EXPECT_EQ(find.options.findDevices, (std::vector<std::string>{"/dev/ttyUSB1", "/dev/pts/2"}));
    EXPECT_TRUE(find.options.json);
    EXPECT_TRUE(find.options.portMap.mappings().empty());

    const Parsed mapped = parse({"--port", "4=/dev/ttyUSB0", "list"});
    ASSERT_TRUE(mapped.ok) << mapped.error;
    EXPECT_EQ(mapped.options.settings.port, 4);
    EXPECT_EQ(mapped.options.portMap.devicePath(4), "/dev/ttyUSB0");

    const Parsed equals = parse({"--baud=19200", "--port=2=/dev/pts/3", "get", "--", "-DASH"});
    ASSERT_TRUE(equals.ok) << equals.error;
    EXPECT_EQ(equals.options.settings.baudRate, 19200);
    EXPECT_EQ(equals.options.portMap.devicePath(2), "/dev/pts/3");
    EXPECT_EQ(equals.options.command, CliOptions::Command::Get);
    EXPECT_EQ(equals.options.name, "-DASH");

    // After "--" nothing is an option, not even --help; a lone "-" is an operand.
    const Parsed help = parse({"put", "--", "--help"});
    ASSERT_TRUE(help.ok) << help.error;
    EXPECT_EQ(help.options.inputPath, "--help");
    EXPECT_EQ(parse({"put", "-"}).options.inputPath, "-");
    EXPECT_EQ(parse({"-o", "-out.tiv", "get", "A"}).options.outputPath, "-out.tiv");
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no command"},
        {{"fetch"}, "unknown command fetch"},
        {{"get"}, "wrong arguments for get"},
        {{"put"}, "wrong arguments for put"},
        {{"put", "a", ""}, "wrong arguments for put"},
        {{"get", "--all", "X"}, "wrong arguments for get"},
        {{"get", "--all", "-o", "f"}, "get --all takes -d DIR"},
        {{"get", "X", "--replace"}, "--replace go with get only"},
        {{"-d", "out", "get", "X"}, "-d and --replace go with get only"},
        {{"--all", "list"}, "--all, -d and --replace go with get only"},
        {{"get", "--all", "-d", ""}, "-d needs a folder"},
        {{"--baud", "1234", "list"}, "--baud takes"},
        {{"--baud"}, "--baud needs a value"},
        {{"--parity", "X", "list"}, "--parity takes"},
        {{"--stop-bits", "3", "list"}, "--stop-bits takes"},
        {{"--port", "5", "list"}, "--port takes a port number from 1 to 4"},
        {{"--port", "x", "list"}, "--port takes a port number from 1 to 4"},
        {{"--port", "2=", "list"}, "no device path given for port 2"},
        {{"--device", "", "list"}, "--device needs a path"},
        {{"--device", "/dev/a", "--device", "/dev/b", "list"}, "--device may be given once"},
        {{"find", "x"}, "wrong arguments for find"},
        {{"--json", "list"}, "--json goes with ports and find only"},
        {{"--verbose", "list"}, "unknown option --verbose"},
        {{"list", "--verbose"}, "unknown option --verbose"},
        {{"-x", "list"}, "unknown option -x"},
        {{"--version=2", "list"}, "--version takes no value"},
        {{"--baud", "9600", "--baud=9600", "list"}, "--baud is given more than once"},
        {{"--port", "1", "--port", "2", "list"}, "--port is given more than once"},
        {{"-o", "a", "get", "X", "-o", "b"}, "-o is given more than once"},
        {{"-o", "f", "list"}, "-o goes with get only"},
        {{"--language", "fr", "list"}, "--language takes de or en"},
        {{"ports", "x"}, "wrong arguments for ports"},
        {{"get", "A\\qB"}, "a backslash must start"},
        {{"get", "A\\x4"}, "a backslash must start"},
        {{"--trace", "--trace=f", "list"}, "--trace is given more than once"},
        {{"-n", "5", "list"}, "-n goes with log only"},
        {{"log", "-n", "0"}, "-n takes a number of lines, 1 or more"},
        {{"log", "-n", "x"}, "-n takes a number of lines"},
        {{"log", "extra"}, "wrong arguments for log"},
    };
    for (const auto& [arguments, message] : cases) {
        const Parsed p = parse(arguments);
        EXPECT_FALSE(p.ok) << message;
        EXPECT_NE(p.error.find(message), std::string::npos) << p.error;
    }
}

TEST(CliOptions, BackupTakesAFolderAndWhetherToReplace) {
    const Parsed backup = parse({"get", "--all", "-d", "out", "--replace"});
    ASSERT_TRUE(backup.ok) << backup.error;
    EXPECT_EQ(backup.options.command, CliOptions::Command::Get);
    EXPECT_TRUE(backup.options.all);
    EXPECT_EQ(backup.options.folder, "out");
    EXPECT_TRUE(backup.options.replace);
}

TEST(CliOptions, SavedSettingsAreTheStartAndEachOptionGivenOverridesThem) {
    SavedSettings saved;
    saved.line = {.baudRate = 38400, .parity = 'O', .stopBits = 2, .port = 3};
    saved.portDevices = {{3, "/dev/ttyUSB0"}, {4, "/dev/ttyACM0"}};
    CliOptions options;
    options.takeSaved(saved);
    std::string error;
    ASSERT_TRUE(CliOptions::parse({"--baud", "9600", "list"}, options, error)) << error;
    EXPECT_EQ(options.settings.settingsString(), "baud=9600 parity=O data=8 stop=2");
    EXPECT_EQ(options.settings.port, 3);
    EXPECT_EQ(options.portMap.devicePath(3), "/dev/ttyUSB0");

    CliOptions other;
    other.takeSaved(saved);
    ASSERT_TRUE(CliOptions::parse({"--port", "4", "--device", "/dev/pts/3", "list"}, other, error))
        << error;
    EXPECT_EQ(other.settings.port, 4);
    EXPECT_EQ(other.portMap.devicePath(4), "/dev/pts/3");
    EXPECT_EQ(other.portMap.devicePath(3), "/dev/ttyUSB0");

    EXPECT_TRUE(parse({"list"}).options.useSavedSettings);
    EXPECT_FALSE(parse({"--no-saved-settings", "list"}).options.useSavedSettings);
}

TEST(CliOptions, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(parse({"--bogus", "--help"}).options.command, CliOptions::Command::Help);
    EXPECT_EQ(parse({"list", "-h"}).options.command, CliOptions::Command::Help);
    EXPECT_EQ(parse({"--baud", "1", "--version"}).options.command, CliOptions::Command::Version);
    EXPECT_EQ(parse({"--version", "--help"}).options.command, CliOptions::Command::Help);
}

}  // namespace
}  // namespace dravolin
