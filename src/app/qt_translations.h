#pragma once

#include <QLocale>
#include <QTranslator>

#include "core/message_catalog.h"

namespace dravolin {

// Qt's own texts (standard buttons, file dialogs, the context menus of text fields) in
// the interface language, from the translations Qt installs, where they are present. In
// force from construction to destruction; needs a QCoreApplication.
class QtTranslations {
public:
    explicit QtTranslations(Language language);
    ~QtTranslations();

    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    // Whether Qt's translations for the language were found and installed. English needs
    // none: Qt's own texts are English.
    bool installed() const { return installed_; }

private:
    QLocale previousLocale_;
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace dravolin
