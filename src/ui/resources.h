#pragma once

#include <QIcon>
#include <QString>

namespace dravolin {

// Paths of the pictures and records compiled into the program (res/dravolin.qrc).
inline const QString kIcon32Path = QStringLiteral(":/dravolin/icon_32.png");
inline const QString kIcon16Path = QStringLiteral(":/dravolin/icon_16.png");
inline const QString kPicturePath = QStringLiteral(":/dravolin/picture.png");
inline const QString kVersionRecordPath = QStringLiteral(":/dravolin/version_record.json");

// Makes the compiled resources available; they live in a static library, so they must be
// registered once by hand. Safe to call any number of times.
void loadResources();

// The program's icon in both sizes.
QIcon programIcon();

}  // namespace dravolin
