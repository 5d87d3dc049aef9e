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

QIcon programIcon() {
    loadResources();
    QIcon icon;
    icon.addFile(kIcon32Path, QSize(32, 32));
    icon.addFile(kIcon16Path, QSize(16, 16));
    return icon;
}

}  // namespace dravolin
