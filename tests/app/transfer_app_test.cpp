#include "app/transfer_app.h"

#include <gtest/gtest.h>

#include <optional>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/about_dialog.h"
#include "app/qt_translations.h"
#include "ui/transfer_dialog.h"
#include "ui/warning_box_presenter.h"

namespace dravolin {
namespace {

QString qtCancel() {
    return QCoreApplication::translate("QPlatformTheme", "Cancel");
}

// The program in German. Qt's own buttons and file dialogs follow the interface language while
// the translations are in force, and only then. The window runs modally; a warning of the
// serial link must still take the operator's click, once, and one the link withdraws closes
// without an answer. The help window: German title, guide and failure texts, and its Close
// button in Qt's German.
TEST(TransferApp, GermanStartLinkWarningsWhileTheWindowRunsAndTheHelpWindow) {
    ASSERT_EQ(qtCancel(), "Cancel");
    std::optional<QtTranslations> german(Language::German);
    ASSERT_TRUE(german->installed()) << "qtbase_de.qm is missing (qt6-translations-l10n)";
    EXPECT_EQ(qtCancel(), "Abbrechen");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), "&Öffnen");
    EXPECT_EQ(QLocale().language(), QLocale::German);
    TransferApp app({}, Language::German);
    int answers = 0;
    int withdrawnAnswers = 0;
    QTimer::singleShot(0, &app, [&] {
        TransferDialog* window = app.window();
        WarningBoxPresenter& presenter = window->warningPresenter();
        presenter.presentWarning(2, "Application Error", "WriteFile failed on port 1",
                                 [&] { ++withdrawnAnswers; });
        presenter.presentWarning(1, "Application Error", "SetCommState() failed",
                                 [&] { ++answers; });
        QPointer<QMessageBox> withdrawn = presenter.openBox(2);
        EXPECT_TRUE(withdrawn && withdrawn->isVisible());
        presenter.withdrawWarning(2);
        presenter.withdrawWarning(99);
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE((withdrawn.isNull() || !withdrawn->isVisible()) &&
                    presenter.openBox(2) == nullptr);
        QMessageBox* box = presenter.openBox(1);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
        // Through the window system, where a window that a modal one blocks gets no click.
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          ok->mapTo(box, ok->rect().center()));
        QApplication::processEvents();
        window->findChild<QAction*>("help")->trigger();
        HelpWindow* help = app.helpWindow();
        EXPECT_EQ(help->windowTitle(), "Dravolin-Hilfe");
        const QString text = help->findChild<QTextBrowser*>("helpText")->toPlainText();
        EXPECT_TRUE(text.contains("Empfangen und Senden")) << text.toStdString();
        EXPECT_TRUE(text.contains("Speicher des Voska-Programmers voll!"));
        // The table's meanings are German too, not only the catalogue's messages.
        EXPECT_TRUE(text.contains("Pfad und Rechte prüfen")) << text.toStdString();
        EXPECT_FALSE(text.contains("Receive Data"));
        EXPECT_EQ(help->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->text(),
                  "Schließen");
        window->findChild<QAction*>("quit")->trigger();
    });
    // Should Quit not end the window, a guard does, so that the test fails instead of hanging.
    bool endedByGuard = false;
    QTimer::singleShot(30000, &app, [&] {
        endedByGuard = true;
        app.window()->done(QDialog::Rejected);
    });
    EXPECT_EQ(app.run(), 0);
    EXPECT_FALSE(endedByGuard);
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(withdrawnAnswers, 0);
    // The program's window is gone with the run.
    EXPECT_EQ(app.window(), nullptr);

    german.reset();
    EXPECT_EQ(qtCancel(), "Cancel");
    const QtTranslations english(Language::English);
    EXPECT_FALSE(english.installed());
    EXPECT_EQ(qtCancel(), "Cancel");
    EXPECT_EQ(QLocale().language(), QLocale::English);
}

TEST(AboutDialog, ShowsTheCompiledVersionAndNothingWithoutItsRecord) {
    AboutDialog about;
    EXPECT_EQ(about.findChild<QLabel*>("versionLabel")->text(), "1.1");
    about.show();
    about.findChild<QPushButton*>("okButton")->click();  // closes the box
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const AboutDialog missing(nullptr, folder.filePath("missing.json"));
    EXPECT_EQ(missing.findChild<QLabel*>("versionLabel")->text(), "");
}

}  // namespace
}  // namespace dravolin
