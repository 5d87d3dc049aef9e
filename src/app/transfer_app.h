#pragma once

#include <QObject>
#include <QPointer>

#include <optional>
#include <string>

#include "app/help_window.h"
#include "core/message_catalog.h"
#include "serial/port_map.h"

namespace dravolin {

class SettingsFile;
class TransferDialog;

// The program as a whole: runs the main window modally and ends when it ends. It also
// answers the window's requests for the about box and the help window.
class TransferApp : public QObject {
    Q_OBJECT

public:
    // `portMap` holds the devices given on the command line; `settingsFile`, when given,
    // what earlier runs saved and where this one saves.
    explicit TransferApp(PortMap portMap = {}, Language language = Language::English,
                         SettingsFile* settingsFile = nullptr);
    ~TransferApp() override;

    // Traces every exchange from the start, as --trace asks: to `file`, or to standard
    // error when it is empty.
    void traceTo(std::string file) { traceFile_ = std::move(file); }

    // Runs the main window until the operator ends it; the program's exit status (2 when
    // the trace asked for cannot be written).
    int run();

    // The main window while run() runs, otherwise nullptr.
    TransferDialog* window() const { return window_; }
    HelpWindow* helpWindow() const { return helpWindow_.data(); }

    void showAbout();
    void showHelp();

private:
    PortMap portMap_;
    Language language_;
    SettingsFile* settingsFile_ = nullptr;
    std::optional<std::string> traceFile_;
    TransferDialog* window_ = nullptr;
    QPointer<HelpWindow> helpWindow_;
};

}  // namespace dravolin
