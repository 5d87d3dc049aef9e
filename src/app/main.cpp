#include <QApplication>

#include <cstdio>

#include "app/command_line.h"
#include "app/transfer_app.h"
#include "core/settings_file.h"

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
    QApplication::setDesktopFileName(QStringLiteral("dravolin"));
    dravolin::SettingsFile settingsFile;
    settingsFile.load();
    if (!settingsFile.warning().empty()) {
        std::fprintf(stderr, "dravolin: %s\n", settingsFile.warning().c_str());
    }
    dravolin::TransferApp transferApp(commandLine.portMap(), &settingsFile);
    return transferApp.run();
}
