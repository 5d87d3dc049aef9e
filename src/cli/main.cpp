#include <unistd.h>

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "core/language_choice.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::vector<std::string> arguments(argv + 1, argv + argc);

    dravolin::CliOptions options;
    std::string error;
    if (!dravolin::CliOptions::parse(arguments, options, error)) {
        std::fprintf(stderr, "dravolin-cli: %s\n\n%s", error.c_str(),
                     dravolin::CliOptions::usage().c_str());
        return dravolin::CliCommand::kUsageError;
    }
    if (options.command == dravolin::CliOptions::Command::Help) {
        std::fputs(dravolin::CliOptions::usage().c_str(), stdout);
        return dravolin::CliCommand::kSuccess;
    }
    if (!options.language) {
        options.language = dravolin::languageFromEnvironment();
    }
    dravolin::CliCommand command(options, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    return command.run();
}
