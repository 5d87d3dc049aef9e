#pragma once

#include <QString>

#include <map>
#include <optional>
#include <string>

#include "core/port_settings.h"

class QSettings;

namespace dravolin {

// What the program remembers between starts.
struct SavedSettings {
    PortSettings line;                       // port and line settings last confirmed
    std::map<int, std::string> portDevices;  // Com n -> device path chosen for it
    // File dialog ("send", "receive", "backup") -> the folder it last used.
    std::map<std::string, std::string> folders;
};

// The settings file, in the desktop's usual place: $XDG_CONFIG_HOME/dravolin/dravolin.conf
// (~/.config/dravolin/dravolin.conf); on Windows %APPDATA%\dravolin\dravolin.ini, which roams
// with the user's profile (settings_location_win32.cpp). The window writes it when the operator
// confirms the port settings and when a file dialog is answered; the CLI only reads it.
//
// A file that cannot be read or makes no sense gives the defaults and one warning, and is
// left untouched until the operator confirms new settings; it is then kept beside the new
// one as dravolin.conf.damaged, so that nothing the operator had is lost.
class SettingsFile {
public:
    static constexpr const char* kSendDialog = "send";
    static constexpr const char* kReceiveDialog = "receive";
    static constexpr const char* kBackupDialog = "backup";

    explicit SettingsFile(QString path = defaultPath());

    static QString defaultPath();
    // Where a file dialog opens while no folder is remembered for it: empty (the working
    // directory) on Linux; on Windows the user's Documents, since a program started from
    // its Start-menu entry works in its own folder under Program Files, where a user may
    // not save.
    static QString firstDialogFolder();
    const QString& path() const { return path_; }

    // Reads the file (a missing one is no fault: the defaults, without a warning).
    void load();
    const SavedSettings& settings() const { return settings_; }
    // Why some or all of the file was not used; empty when it was used whole.
    const std::string& warning() const { return warning_; }

    // The operator confirmed these with OK: written whatever state the file was in.
    bool saveConfirmed(const PortSettings& line, const std::map<int, std::string>& portDevices);
    // The folder of a file just chosen; kept for this run only while the file is damaged.
    bool saveFolder(const std::string& dialog, const std::string& folder);
    // Why the last save failed; empty after one that worked.
    const std::string& saveError() const { return saveError_; }

private:
    void readLine(const QSettings& file, QStringList& ignored);
    void readPortDevices(QSettings& file, QStringList& ignored);
    void readFolders(QSettings& file);
    bool moveDamagedFileAside();
    bool finishWrite(QSettings& file);

    QString path_;
    SavedSettings settings_;
    std::string warning_;
    std::string saveError_;
    bool damaged_ = false;
};

}  // namespace dravolin
