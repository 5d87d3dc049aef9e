#include "app/transfer_app.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "ui/transfer_dialog.h"
#include "ui/warning_box_presenter.h"

namespace dravolin {
namespace {

// The window runs modally; a warning of the serial link must still take the operator's
// click, once, and one the link withdraws closes without an answer.
TEST(TransferApp, LinkWarningsCanBeAnsweredOrWithdrawnWhileTheWindowRuns) {
    TransferApp app;
    int answers = 0;
    int withdrawnAnswers = 0;
    bool boxShown = false;
    bool withdrawnWasShown = false;
    bool withdrawnClosed = false;
    QTimer::singleShot(0, &app, [&] {
        TransferDialog* window = app.window();
        WarningBoxPresenter& presenter = window->warningPresenter();
        presenter.presentWarning(2, "Application Error", "WriteFile failed on port 1",
                                 [&] { ++withdrawnAnswers; });
        presenter.presentWarning(1, "Application Error", "SetCommState() failed",
                                 [&] { ++answers; });
        QPointer<QMessageBox> withdrawn = presenter.openBox(2);
        withdrawnWasShown = withdrawn && withdrawn->isVisible();
        presenter.withdrawWarning(2);
        presenter.withdrawWarning(99);
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        withdrawnClosed =
            (withdrawn.isNull() || !withdrawn->isVisible()) && presenter.openBox(2) == nullptr;
        QMessageBox* box = presenter.openBox(1);
        boxShown = QTest::qWaitForWindowExposed(box);
        // Through the window system, where a window that a modal one blocks gets no click.
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          ok->mapTo(box, ok->rect().center()));
        QApplication::processEvents();
        window->findChild<QAction*>("40004")->trigger();  // Quit
    });
    // Should Quit not end the window, a guard does, so that the test fails instead of hanging.
    bool endedByGuard = false;
    QTimer::singleShot(30000, &app, [&] {
        endedByGuard = true;
        app.window()->done(QDialog::Rejected);
    });
    EXPECT_EQ(app.run(), 0);
    EXPECT_FALSE(endedByGuard);
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(answers, 1);
    EXPECT_TRUE(withdrawnWasShown);
    EXPECT_TRUE(withdrawnClosed);
    EXPECT_EQ(withdrawnAnswers, 0);
    // The program's window is gone with the run.
    EXPECT_EQ(app.window(), nullptr);
}

}  // namespace
}  // namespace dravolin
