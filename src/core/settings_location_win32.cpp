#include <QDir>
#include <QStandardPaths>

#include "core/portable_folder.h"
#include "core/settings_file.h"

// The Windows twin: the roaming application data folder, where Windows programs keep what
// the user chose, or a portable copy's own folder; an INI file, as QSettings::IniFormat
// writes it.

namespace dravolin {

QString SettingsFile::defaultPath() {
    const std::wstring portable = portableFolder();
    if (!portable.empty()) {
        return QString::fromStdWString(portable) + QStringLiteral("\\dravolin.ini");
    }
    QString folder = qEnvironmentVariable("APPDATA");
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    }
    return QDir::toNativeSeparators(folder + QStringLiteral("/dravolin/dravolin.ini"));
}

QString SettingsFile::firstDialogFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

}  // namespace dravolin
