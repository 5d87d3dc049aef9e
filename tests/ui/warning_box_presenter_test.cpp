#include "ui/warning_box_presenter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>

namespace dravolin {
namespace {

TEST(WarningBoxPresenter, WithdrawnWarningClosesWithoutAnAnswer) {
    QDialog window;
    window.show();
    WarningBoxPresenter presenter(&window);
    int firstAnswers = 0;
    int secondAnswers = 0;
    presenter.presentWarning(1, "Application Error", "WriteFile failed on port 1",
                             [&] { ++firstAnswers; });
    presenter.presentWarning(2, "Application Error", "second", [&] { ++secondAnswers; });
    QPointer<QMessageBox> first = presenter.openBox(1);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());

    presenter.withdrawWarning(1);
    presenter.withdrawWarning(99);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    EXPECT_EQ(presenter.openBox(1), nullptr);

    // The other warning is still up and still answers, once.
    ASSERT_NE(presenter.openBox(2), nullptr);
    presenter.openBox(2)->buttons().first()->click();
    QApplication::processEvents();
    EXPECT_EQ(secondAnswers, 1);
    EXPECT_EQ(firstAnswers, 0);
}

}  // namespace
}  // namespace dravolin
