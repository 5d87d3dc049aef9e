#include <unistd.h>

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::vector<std::string> arguments(argv + 1, argv + argc);

    dravolin::CliOptions asGiven;
    std::string error;
    if (!dravolin::CliOptions::parse(arguments, asGiven, error)) {
        std::fprintf(stderr, "dravolin-cli: %s\n\n%s", error.c_str(),
                     dravolin::CliOptions::usage().c_str());
        return dravolin::CliCommand::kUsageError;
    }
    if (asGiven.command == dravolin::CliOptions::Command::Help) {
        std::fputs(dravolin::CliOptions::usage().c_str(), stdout);
        return dravolin::CliCommand::kSuccess;
    }
    // The options again, this time over what the window saved.
    dravolin::CliOptions options;
    if (asGiven.useSavedSettings) {
        dravolin::SettingsFile settingsFile;
        settingsFile.load();
        if (!settingsFile.warning().empty()) {
            std::fprintf(stderr, "dravolin-cli: %s\n", settingsFile.warning().c_str());
        }
        options.takeSaved(settingsFile.settings());
    }
    static_cast<void>(dravolin::CliOptions::parse(arguments, options, error));
    dravolin::CliCommand command(options, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    return command.run();
}
