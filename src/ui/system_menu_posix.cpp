#include "ui/system_menu.h"

// X11 and the other Linux platforms: no system menu of ours to add to.

namespace dravolin {

void addAboutToSystemMenu(QWidget&, const QString&) {}

bool aboutChosenFromSystemMenu(const QByteArray&, const void*) {
    return false;
}

}  // namespace dravolin
