#include "app/transfer_app.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/about_dialog.h"
#include "ui/transfer_dialog.h"
#include "ui/warning_box_presenter.h"

namespace dravolin {
namespace {

PortMap missingDevices() {
    PortMap map;
    for (int port = 1; port <= 4; ++port) {
        map.map(port, "/nonexistent/dravolin-test-line");
    }
    return map;
}

QAction* command(TransferDialog* window, int id) {
    return window->findChild<QAction*>(QString::number(id));
}

bool anyWindowVisible() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            return true;
        }
    }
    return false;
}

// Runs the program's window; `operate` acts on it once it is up. A window that does not end
// is ended by a guard after a generous time so that the test fails instead of hanging.
bool runUntilEnded(TransferApp& app, const std::function<void(TransferDialog*)>& operate) {
    bool endedByGuard = false;
    QTimer::singleShot(0, &app, [&] { operate(app.window()); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &app, [&] {
        endedByGuard = true;
        if (app.window()) {
            app.window()->done(QDialog::Rejected);
        }
    });
    guard.start(30000);
    EXPECT_EQ(app.run(), 0);
    return !endedByGuard;
}

TEST(TransferApp, InfoShowsTheVersionAndHelpOpensBesideTheWindow) {
    TransferApp app(missingDevices());
    QString aboutTitle;
    QString aboutVersion;
    QString helpText;
    bool helpVisible = false;
    const bool ended = runUntilEnded(app, [&](TransferDialog* window) {
        ASSERT_NE(window, nullptr);
        QTimer::singleShot(0, window, [&] {
            auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            if (about) {
                aboutTitle = about->windowTitle();
                aboutVersion = about->findChild<QLabel*>("1003")->text();
                about->accept();
            }
        });
        command(window, 40007)->trigger();

        command(window, 57670)->trigger();
        ASSERT_NE(app.helpWindow(), nullptr);
        helpVisible = app.helpWindow()->isVisible();
        helpText = app.helpWindow()->findChild<QTextBrowser*>()->toPlainText();
        // Asking again shows the same window, not a second one.
        HelpWindow* first = app.helpWindow();
        command(window, 57670)->trigger();
        EXPECT_EQ(app.helpWindow(), first);

        command(window, 40004)->trigger();
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(aboutTitle, "Info Dravolin");
    EXPECT_EQ(aboutVersion, "1.1");
    EXPECT_TRUE(helpVisible);
    for (const char* topic : {"F5", "--port", "dialout", "Device not responding",
                              "Wrong interface settings", "No file saved!"}) {
        EXPECT_TRUE(helpText.contains(QString::fromUtf8(topic))) << topic;
    }
    // The program has ended with its window: nothing is left on screen.
    EXPECT_EQ(app.window(), nullptr);
    EXPECT_EQ(app.helpWindow(), nullptr);
    EXPECT_FALSE(anyWindowVisible());
}

// The window runs modally; a warning of the serial link must still take the operator's click.
TEST(TransferApp, LinkWarningsCanBeAnsweredWhileTheWindowRuns) {
    TransferApp app(missingDevices());
    int answers = 0;
    bool boxShown = false;
    const bool ended = runUntilEnded(app, [&](TransferDialog* window) {
        WarningBoxPresenter& presenter = window->warningPresenter();
        presenter.presentWarning(1, "Application Error", "SetCommState() failed",
                                 [&] { ++answers; });
        QMessageBox* box = presenter.openBox(1);
        ASSERT_NE(box, nullptr);
        boxShown = QTest::qWaitForWindowExposed(box);
        // Through the window system, where a window that a modal one blocks gets no click.
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          ok->mapTo(box, ok->rect().center()));
        QApplication::processEvents();
        command(window, 40004)->trigger();
    });
    EXPECT_TRUE(ended);
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(answers, 1);
}

TEST(TransferApp, EveryWayOfEndingTheWindowEndsTheProgram) {
    const std::vector<std::function<void(TransferDialog*)>> ways = {
        [](TransferDialog* window) { command(window, 40004)->trigger(); },
        [](TransferDialog* window) { window->close(); },
        [](TransferDialog* window) { QTest::keyClick(window, Qt::Key_Escape); },
        [](TransferDialog* window) { QTest::keyClick(window, Qt::Key_Return); },
    };
    for (std::size_t way = 0; way < ways.size(); ++way) {
        TransferApp app(missingDevices());
        EXPECT_TRUE(runUntilEnded(app, ways[way])) << "way " << way;
        EXPECT_EQ(app.window(), nullptr);
        EXPECT_FALSE(anyWindowVisible()) << "way " << way;
    }
}

}  // namespace
}  // namespace dravolin
