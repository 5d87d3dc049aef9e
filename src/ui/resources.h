#pragma once

#include <QIcon>
#include <QString>

namespace dravolin {

// Paths of the pictures and records compiled into the program (res/dravolin.qrc).
inline const QString kIconSvgPath = QStringLiteral(":/dravolin/dravolin.svg");
inline const QString kPicturePath = QStringLiteral(":/dravolin/picture.svg");
inline const QString kVersionRecordPath = QStringLiteral(":/dravolin/version_record.json");

// The icon rendered at `size` pixels ("icons/dravolin_32.png").
QString iconPngPath(int size);

// Makes the compiled resources available; they live in a static library, so they must be
// registered once by hand. Safe to call any number of times.
void loadResources();

// The program's icon: drawn at small sizes, rendered from its outline at larger ones.
QIcon programIcon();

}  // namespace dravolin
