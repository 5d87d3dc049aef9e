#include "app/transfer_app.h"

#include <cstdio>

#include "app/about_dialog.h"
#include "app/help_window.h"
#include "ui/keyboard_focus.h"
#include "ui/transfer_dialog.h"

namespace dravolin {

TransferApp::TransferApp(PortMap portMap, Language language, SettingsFile* settingsFile)
    : portMap_(std::move(portMap)), language_(language), settingsFile_(settingsFile) {}

TransferApp::~TransferApp() = default;

int TransferApp::run() {
    TransferDialog window(portMap_, nullptr, nullptr, language_);
    if (settingsFile_ != nullptr) {
        window.useSettingsFile(*settingsFile_);
    }
    if (traceFile_) {
        std::string error;
        if (!window.useTrace(*traceFile_, error)) {
            std::fprintf(stderr, "dravolin: cannot write the protocol trace to %s: %s\n",
                         traceFile_->c_str(), error.c_str());
            return 2;
        }
    }
    window_ = &window;
    connect(&window, &TransferDialog::aboutRequested, this, &TransferApp::showAbout);
    connect(&window, &TransferDialog::helpRequested, this, &TransferApp::showHelp);
    window.exec();
    window_ = nullptr;
    // The help window is the main window's child and goes with it.
    return 0;
}

void TransferApp::showAbout() {
    AboutDialog about(window_);
    about.exec();
    giveKeyboardBack(window_);
}

void TransferApp::showHelp() {
    if (!helpWindow_) {
        // A child of the main window, so that its modal run does not block the help.
        helpWindow_ = new HelpWindow(window_, language_);
        helpWindow_->setAttribute(Qt::WA_DeleteOnClose);
    }
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

}  // namespace dravolin
