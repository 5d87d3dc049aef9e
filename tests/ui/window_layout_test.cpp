#include "ui/window_layout.h"

#include <gtest/gtest.h>

#include "ui/dialog_units.h"

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

TEST(WindowLayout, ProductsAreTruncatedNotRounded) {
    // 0.3 * 333 = 99.9 and 0.025 * 333 = 8.325; 0.66 * 333 = 219.78.
    const WindowLayout layout = WindowLayout::forClientSize(QSize(333, 300));
    EXPECT_EQ(layout.functionGroup.width(), 99);
    EXPECT_EQ(layout.functionGroup.x(), 8);
    EXPECT_EQ(layout.picture.width(), 219);
    EXPECT_EQ(layout.picture.x(), 113);
}

TEST(WindowLayout, StatusLineKeepsItsHeightAndMarginsAtAnySize) {
    for (const QSize size : {QSize(598, 365), QSize(1024, 700), QSize(120, 80)}) {
        const WindowLayout layout = WindowLayout::forClientSize(size);
        EXPECT_EQ(layout.statusLine, QRect(2, size.height() - 22, size.width() - 4, 21));
        // The picture reaches the right edge of the client area, give or take truncation.
        EXPECT_LE(layout.picture.right() + 1, size.width());
        EXPECT_GE(layout.picture.right() + 3, size.width());
    }
}

TEST(DialogUnits, ConvertWithQuarterWidthAndEighthHeight) {
    const DialogUnits units(7, 16);
    EXPECT_EQ(units.toPixels(QSize(342, 209)), QSize(598, 418));
    EXPECT_EQ(units.toPixels(QRect(5, 4, 85, 85)), QRect(8, 8, 148, 170));
}

TEST(DialogUnits, BaseUnitsComeFromTheFont) {
    QFont font;
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    const DialogUnits units(metrics);
    EXPECT_EQ(units.baseY(), metrics.height());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_NEAR(units.baseX() * 52, letters, 26);
}

}  // namespace
}  // namespace dravolin
