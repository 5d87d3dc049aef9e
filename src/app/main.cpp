#include <QApplication>

#include <cstdio>

#include "app/command_line.h"
#include "app/qt_translations.h"
#include "app/transfer_app.h"
#include "core/language_choice.h"

int main(int argc, char** argv) {
    // Options are read before the display is opened, so --help works without one.
    const dravolin::CommandLine commandLine = dravolin::CommandLine::parse(argc, argv);
    switch (commandLine.action()) {
        case dravolin::CommandLine::Action::ShowHelp:
            std::fputs(dravolin::CommandLine::helpText().c_str(), stdout);
            return 0;
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
    dravolin::TransferApp transferApp(commandLine.portMap(), language);
    return transferApp.run();
}
