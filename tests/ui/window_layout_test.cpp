#include "ui/window_layout.h"

#include <gtest/gtest.h>

namespace dravolin {
namespace {

// Room as the German texts need it in a 9-point font.
constexpr TextRoom kGermanRoom{.statusWidth = 486,
                               .groupTitleWidth = 149,
                               .groupContentTop = 15,
                               .groupContentBottom = 3,
                               .listWidth = 148,
                               .listHeight = 22,
                               .menuWidth = 228};

TEST(WindowLayout, MinimumClientSizeIsTheSmallestFromWhichEveryTextFits) {
    const QSize smallest = WindowLayout::minimumClientSize(kGermanRoom);
    for (int width = smallest.width(); width < smallest.width() + 400; ++width) {
        EXPECT_TRUE(WindowLayout::forClientSize({width, 2000}).widthHolds(kGermanRoom)) << width;
    }
    EXPECT_FALSE(WindowLayout::forClientSize({smallest.width() - 1, 2000}).widthHolds(kGermanRoom));

    // Truncation lets the gap between a group's top and its field shrink by a pixel as the
    // area grows; no height above the minimum may clip the title.
    for (int height = smallest.height(); height < smallest.height() + 400; ++height) {
        EXPECT_TRUE(WindowLayout::forClientSize({2000, height}).heightHolds(kGermanRoom)) << height;
    }
    EXPECT_FALSE(
        WindowLayout::forClientSize({2000, smallest.height() - 1}).heightHolds(kGermanRoom));
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
