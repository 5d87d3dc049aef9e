#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace dravolin {

QtTranslations::QtTranslations(Language language) {
    const QLocale locale(language == Language::German ? QLocale::German : QLocale::English);
    // Dates and sizes in the file dialogs in the same language as their captions; a
    // locale of the same language (de_AT, en_GB) is left as the desktop set it.
    if (QLocale().language() != locale.language()) {
        QLocale::setDefault(locale);
    }
    if (language != Language::German) {
        return;
    }
    // A missing qtbase_de.qm leaves Qt's texts English; the program's own stay German.
    if (translator_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installed_ = QCoreApplication::installTranslator(&translator_);
    }
}

QtTranslations::~QtTranslations() {
    QLocale::setDefault(previousLocale_);
    if (installed_) {
        QCoreApplication::removeTranslator(&translator_);
    }
}

}  // namespace dravolin
