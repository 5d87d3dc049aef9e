#pragma once

#include <QObject>
#include <QPointer>

#include "app/help_window.h"
#include "core/message_catalog.h"
#include "serial/port_map.h"

namespace dravolin {

class TransferDialog;

// The program as a whole: runs the main window modally and ends when it ends. It also
// answers the window's requests for the about box and the help window.
class TransferApp : public QObject {
    Q_OBJECT

public:
    explicit TransferApp(PortMap portMap = {}, Language language = Language::English);
    ~TransferApp() override;

    // Runs the main window until the operator ends it; the program's exit status.
    int run();

    // The main window while run() runs, otherwise nullptr.
    TransferDialog* window() const { return window_; }
    HelpWindow* helpWindow() const { return helpWindow_.data(); }

    void showAbout();
    void showHelp();

private:
    PortMap portMap_;
    Language language_;
    TransferDialog* window_ = nullptr;
    QPointer<HelpWindow> helpWindow_;
};

}  // namespace dravolin
