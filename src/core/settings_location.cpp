#include <QStandardPaths>

#include "core/settings_file.h"

namespace dravolin {

QString SettingsFile::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/dravolin/dravolin.conf");
}

QString SettingsFile::firstDialogFolder() {
    return {};
}

}  // namespace dravolin
