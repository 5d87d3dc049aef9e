#include "ui/window_layout.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

TEST(WindowLayout, ClientOf400By300PlacesEveryControl) {
    const WindowLayout layout = WindowLayout::forClientSize(QSize(400, 300));
    EXPECT_EQ(layout.functionGroup, QRect(10, 15, 120, 75));
    EXPECT_EQ(layout.functionList, QRect(20, 33, 100, 45));
    EXPECT_EQ(layout.fileGroup, QRect(10, 114, 120, 150));
    EXPECT_EQ(layout.fileList, QRect(20, 129, 100, 126));
    EXPECT_EQ(layout.statusLine, QRect(2, 278, 396, 21));
    EXPECT_EQ(layout.picture, QRect(136, 6, 264, 294));
}

TEST(WindowLayout, CancelAndProgressShareTheStatusLinesRowWithoutOverlap) {
    const QRect line(2, 278, 396, 21);
    const StatusRow cancelOnly = StatusRow::within(line, 80, false);
    EXPECT_EQ(cancelOnly.cancelButton, QRect(318, 278, 80, 21));
    EXPECT_EQ(cancelOnly.statusLine, QRect(2, 278, 314, 21));
    EXPECT_TRUE(cancelOnly.progressBar.isEmpty());

    const StatusRow withProgress = StatusRow::within(line, 80, true);
    EXPECT_EQ(withProgress.statusLine, QRect(2, 278, 94, 21));
    EXPECT_EQ(withProgress.progressBar, QRect(98, 278, 218, 21));
    EXPECT_EQ(withProgress.cancelButton, cancelOnly.cancelButton);

    // A narrow window gives the button no more than a third of the row.
    EXPECT_EQ(StatusRow::within(QRect(2, 100, 150, 21), 80, true).cancelButton.width(), 50);
}

}  // namespace
}  // namespace dravolin
