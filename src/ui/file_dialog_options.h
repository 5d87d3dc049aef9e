#pragma once

#include <QString>
#include <QStringList>

#include <string_view>

#include "core/message_catalog.h"
#include "exchange/exchange_view.h"

namespace dravolin {

// A file dialog as Qt shows it, made from the exchange's request in catalogue terms.
struct FileDialogOptions {
    bool save = false;
    QString title;
    QStringList nameFilters;  // "TIV code tag data (*.tiv)"
    int selectedFilter = 0;   // index into nameFilters
    QString defaultSuffix;
    QString initialName;
    bool confirmOverwrite = false;

    static FileDialogOptions fromRequest(const FileDialogRequest& request,
                                         const MessageCatalog& catalog);
};

// Turns a filter list "Name|pattern|Name|pattern|" into Qt's "Name (pattern)" entries.
// "*.*" means every file and becomes "*", which also matches names without a dot.
QStringList qtNameFilters(std::string_view filterList);

// The device's name as the offered file name, by the same rule as dravolin-cli's
// (fileNameForDeviceName): the name as it stands, or an empty field for the operator to
// fill when the device's name cannot be a file name.
QString fileNameFromDeviceName(std::string_view deviceName);

}  // namespace dravolin
