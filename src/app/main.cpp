#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/qt_translations.h"
#include "app/startup_output.h"
#include "app/transfer_app.h"
#include "core/language_choice.h"
#include "core/program_start.h"
#include "core/program_version.h"
#include "core/settings_file.h"

namespace {

// Text asked for before the window opens must be seen, wherever the program was started
// from. Written for standard output it must have been written whole; a full disk is an
// error.
int told(const std::string& text, std::FILE* stream, int status) {
    std::FILE* const shown = dravolin::streamToOperator(stream);
    if (shown == nullptr) {
        dravolin::showInBox(text, stream == stderr);
        return status;
    }
    if (std::fputs(text.c_str(), shown) >= 0 && std::fflush(shown) == 0) {
        return status;
    }
    if (stream == stdout) {
        std::fprintf(stderr, "dravolin: cannot write to standard output: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A trace or warning to a standard error whose reader has gone must not end the window.
    dravolin::prepareStandardStreams();
    // Options are read before the display is opened, so --help works without one.
    const dravolin::CommandLine commandLine =
        dravolin::CommandLine::parse(dravolin::programArguments(argc, argv));
    switch (commandLine.action()) {
        case dravolin::CommandLine::Action::ShowHelp:
            return told(dravolin::CommandLine::helpText(), stdout, 0);
        case dravolin::CommandLine::Action::ShowVersion:
            return told("dravolin " + std::string(dravolin::kProgramVersion) + "\n", stdout, 0);
        case dravolin::CommandLine::Action::UsageError:
            return told("dravolin: " + commandLine.error() + "\n" +
                            dravolin::CommandLine::usageLine() + "\n",
                        stderr, 2);
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
