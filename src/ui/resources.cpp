#include "ui/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerCompiledResources() {
    Q_INIT_RESOURCE(dravolin);
}

namespace dravolin {

void loadResources() {
    static const bool registered = [] {
        registerCompiledResources();
        return true;
    }();
    static_cast<void>(registered);
}

QString iconPngPath(int size) {
    return QStringLiteral(":/dravolin/icons/dravolin_%1.png").arg(size);
}

QIcon programIcon() {
    loadResources();
    // The pictures cover the sizes title bars and the about box use, at twice their size
    // too; where Qt's SVG icon engine is installed, the outline serves every other size.
    QIcon icon(kIconSvgPath);
    for (const int size : {16, 32, 48, 64}) {
        icon.addFile(iconPngPath(size), QSize(size, size));
    }
    return icon;
}

}  // namespace dravolin
