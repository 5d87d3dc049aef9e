#include "ui/warning_box_presenter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>

namespace dravolin {
namespace {

TEST(WarningBoxPresenter, ShowsANonModalCriticalBoxAndReportsTheAnswerOnce) {
    QDialog window;
    window.show();
    WarningBoxPresenter presenter(&window);
    int answers = 0;
    presenter.presentWarning(7, "Application Error", "WriteFile failed on port 1",
                             [&] { ++answers; });

    QMessageBox* box = presenter.openBox(7);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->windowTitle(), "Application Error");
    EXPECT_EQ(box->text(), "WriteFile failed on port 1");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);
    EXPECT_EQ(answers, 0);

    box->buttons().first()->click();
    QApplication::processEvents();
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(presenter.openBox(7), nullptr);
    // Withdrawing an answered warning changes nothing.
    presenter.withdrawWarning(7);
    EXPECT_EQ(answers, 1);
}

TEST(WarningBoxPresenter, WithdrawnWarningClosesWithoutAnAnswer) {
    QDialog window;
    WarningBoxPresenter presenter(&window);
    int firstAnswers = 0;
    int secondAnswers = 0;
    presenter.presentWarning(1, "Application Error", "first", [&] { ++firstAnswers; });
    presenter.presentWarning(2, "Application Error", "second", [&] { ++secondAnswers; });
    QPointer<QMessageBox> first = presenter.openBox(1);
    ASSERT_TRUE(first);

    presenter.withdrawWarning(1);
    presenter.withdrawWarning(99);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    EXPECT_EQ(presenter.openBox(1), nullptr);
    EXPECT_EQ(firstAnswers, 0);

    // The other warning is still up and still answers.
    ASSERT_NE(presenter.openBox(2), nullptr);
    presenter.openBox(2)->buttons().first()->click();
    QApplication::processEvents();
    EXPECT_EQ(secondAnswers, 1);
    EXPECT_EQ(firstAnswers, 0);
}

TEST(WarningBoxPresenter, BoxesLeftOpenGoWithThePresenter) {
    QDialog window;
    QPointer<QMessageBox> box;
    int answers = 0;
    {
        WarningBoxPresenter presenter(&window);
        presenter.presentWarning(3, "Application Error", "left open", [&] { ++answers; });
        box = presenter.openBox(3);
        ASSERT_TRUE(box);
    }
    EXPECT_TRUE(box.isNull());
    EXPECT_EQ(answers, 0);
}

}  // namespace
}  // namespace dravolin
