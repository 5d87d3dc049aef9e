#pragma once

#include <QString>

#include <initializer_list>
#include <map>
#include <string>

#include "serial/port_map.h"

namespace dravolin {

class PortSettingsDialog;
class SerialPort;
class SettingsFile;

// A path from a file dialog as the programs keep paths: UTF-8, with the system's own
// separators (Qt gives '/' on Windows too).
std::string nativePathText(const QString& path);

// What the main window remembers from one run to the next: the device each Com port stands
// for, with the command line's on top for this run only, and the folder each file dialog
// last used. Without a settings file it remembers them for this run only.
class WindowSettings {
public:
    // `port` and `dialog` learn every change of the devices.
    WindowSettings(PortMap commandLinePorts, SerialPort& port, PortSettingsDialog& dialog);

    // Takes the port settings, Com devices and folders saved at an earlier run, and saves
    // there what the operator confirms from now on.
    void use(SettingsFile& file);

    // The port settings dialog was confirmed.
    void takePortSettings();

    void rememberFolder(const std::string& dialog, const QString& chosenPath);
    // The folder remembered for the first of `dialogs` that has one, or where a dialog
    // opens the first time.
    QString dialogFolder(std::initializer_list<const char*> dialogs) const;

private:
    void applyPortMap();

    SerialPort& port_;
    PortSettingsDialog& dialog_;
    PortMap commandLinePorts_;                    // overrides for this run, never saved
    std::map<int, std::string> savedPorts_;       // the Com devices the operator chose
    std::map<std::string, std::string> folders_;  // file dialog -> folder last used
    SettingsFile* settingsFile_ = nullptr;
};

}  // namespace dravolin
