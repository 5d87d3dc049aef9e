#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include "app/qt_translations.h"
#include "app/transfer_app.h"
#include "ui/transfer_dialog.h"

namespace dravolin {
namespace {

QString qtCancel() {
    return QCoreApplication::translate("QPlatformTheme", "Cancel");
}

// Qt's own buttons and file dialogs follow the interface language while the translations
// are in force, and only then. The help window of a German program: German title, guide
// and failure texts, and its Close button in Qt's German.
TEST(TransferApp, QtsOwnTextsAndTheHelpWindowFollowTheLanguage) {
    ASSERT_EQ(qtCancel(), "Cancel");
    {
        const QtTranslations german(Language::German);
        ASSERT_TRUE(german.installed()) << "qtbase_de.qm is missing (qt6-translations-l10n)";
        EXPECT_EQ(qtCancel(), "Abbrechen");
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), "&Öffnen");
        EXPECT_EQ(QLocale().language(), QLocale::German);
        TransferApp app({}, Language::German);
        QString title;
        QString text;
        QString close;
        QTimer::singleShot(0, &app, [&] {
            app.window()->findChild<QAction*>("57670")->trigger();
            HelpWindow* help = app.helpWindow();
            title = help->windowTitle();
            text = help->findChild<QTextBrowser*>("helpText")->toPlainText();
            close = help->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->text();
            app.window()->findChild<QAction*>("40004")->trigger();
        });
        EXPECT_EQ(app.run(), 0);
        EXPECT_EQ(title, "Dravolin-Hilfe");
        EXPECT_TRUE(text.contains("Empfangen und Senden")) << text.toStdString();
        EXPECT_TRUE(text.contains("Speicher des Voska-Programmers voll!"));
        EXPECT_FALSE(text.contains("Receive Data"));
        EXPECT_EQ(close, "Schließen");
    }
    EXPECT_EQ(qtCancel(), "Cancel");
    const QtTranslations english(Language::English);
    EXPECT_FALSE(english.installed());
    EXPECT_EQ(qtCancel(), "Cancel");
    EXPECT_EQ(QLocale().language(), QLocale::English);
}

}  // namespace
}  // namespace dravolin
