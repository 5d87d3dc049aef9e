#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/stop_signals.h"
#include "core/language_choice.h"
#include "core/program_start.h"
#include "core/program_version.h"

namespace {

// What was printed must have reached standard output (not a full disk, not a closed
// pipe); otherwise a script would take an empty or cut result for a good one.
int withStandardOutputWritten(int status) {
    if (status != dravolin::CliCommand::kSuccess ||
        (std::fflush(stdout) == 0 && !std::ferror(stdout))) {
        return status;
    }
    std::fprintf(stderr, "dravolin-cli: cannot write to standard output: %s\n",
                 std::strerror(errno));
    return dravolin::CliCommand::kExchangeFailed;
}

int run(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    dravolin::prepareStandardStreams();
    const std::vector<std::string> arguments = dravolin::programArguments(argc, argv);

    dravolin::CliOptions asGiven;
    std::string error;
    if (!dravolin::CliOptions::parse(arguments, asGiven, error)) {
        std::fprintf(stderr, "dravolin-cli: %s\n\n%s", error.c_str(),
                     dravolin::CliOptions::usage().c_str());
        return dravolin::CliCommand::kUsageError;
    }
    if (asGiven.command == dravolin::CliOptions::Command::Help) {
        std::fputs(dravolin::CliOptions::usage().c_str(), stdout);
        return withStandardOutputWritten(dravolin::CliCommand::kSuccess);
    }
    if (asGiven.command == dravolin::CliOptions::Command::Version) {
        std::printf("dravolin-cli %.*s\n", static_cast<int>(dravolin::kProgramVersion.size()),
                    dravolin::kProgramVersion.data());
        return withStandardOutputWritten(dravolin::CliCommand::kSuccess);
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
    if (!options.language) {
        options.language = dravolin::languageFromEnvironment();
    }
    // The exchange words its cause lines in the settings' language.
    options.settings.language = *options.language == dravolin::Language::German ? 0 : 1;
    dravolin::CliCommand command(options, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    const dravolin::StopSignals stopSignals([&command](int signal) { command.interrupt(signal); });
    return withStandardOutputWritten(command.run());
}

}  // namespace

int main(int argc, char** argv) {
    // The exchange raises nothing; this is the last guard, so that whatever slips through
    // ends with a message and status 1 rather than an abort.
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "dravolin-cli: %s\n", failure.what());
    } catch (...) {
        std::fprintf(stderr, "dravolin-cli: unexpected failure\n");
    }
    return dravolin::CliCommand::kExchangeFailed;
}
