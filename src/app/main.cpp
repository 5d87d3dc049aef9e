#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/qt_translations.h"
#include "app/transfer_app.h"
#include "core/language_choice.h"
#include "core/program_version.h"
#include "core/settings_file.h"

namespace {

// Text asked for on standard output must have been written; a full disk is an error.
int printed(const std::string& text) {
    if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) {
        return 0;
    }
    std::fprintf(stderr, "dravolin: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Options are read before the display is opened, so --help works without one.
    const dravolin::CommandLine commandLine = dravolin::CommandLine::parse(argc, argv);
    switch (commandLine.action()) {
        case dravolin::CommandLine::Action::ShowHelp:
            return printed(dravolin::CommandLine::helpText());
        case dravolin::CommandLine::Action::ShowVersion:
            return printed("dravolin " + std::string(dravolin::kProgramVersion) + "\n");
        case dravolin::CommandLine::Action::UsageError:
            std::fprintf(stderr, "dravolin: %s\n%s\n", commandLine.error().c_str(),
                         dravolin::CommandLine::usageLine().c_str());
            return 2;
        case dravolin::CommandLine::Action::Run:
            break;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dravolin"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.dravolin.Dravolin"));
    const dravolin::Language language =
        commandLine.language().value_or(dravolin::languageFromEnvironment());
    const dravolin::QtTranslations qtTranslations(language);
    dravolin::SettingsFile settingsFile;
    settingsFile.load();
    if (!settingsFile.warning().empty()) {
        std::fprintf(stderr, "dravolin: %s\n", settingsFile.warning().c_str());
    }
    dravolin::TransferApp transferApp(commandLine.portMap(), language, &settingsFile);
    if (commandLine.trace()) {
        transferApp.traceTo(*commandLine.trace());
    }
    return transferApp.run();
}
