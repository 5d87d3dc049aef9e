#include "ui/client_area.h"

#include <gtest/gtest.h>

#include <QImage>

#include "ui/resources.h"

namespace dravolin {
namespace {

// The sum of squared differences between neighbouring pixels, per pixel: a blurred
// picture spreads each edge over more pixels and so scores lower than a sharp one.
double edgeEnergy(const QImage& image) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y + 1 < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        const uchar* below = gray.constScanLine(y + 1);
        for (int x = 0; x + 1 < gray.width(); ++x) {
            const double right = row[x + 1] - row[x];
            const double down = below[x] - row[x];
            sum += right * right + down * down;
        }
    }
    return sum / (double(gray.width()) * gray.height());
}

QImage renderAt(ClientArea& area, qreal scale) {
    QImage image(area.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    area.render(&image);
    return image;
}

// At twice the scale the picture is drawn anew with twice the pixels, not stretched from
// a bitmap: its edges stay as sharp as at the normal scale.
TEST(ClientArea, PictureIsDrawnSharpAtEveryScaleAndAMissingOneLeavesTheAreaPlain) {
    ClientArea area;
    ASSERT_TRUE(area.setPicture(kPicturePath));
    area.resize(400, 300);

    const QImage normal = renderAt(area, 1.0);
    const QImage doubled = renderAt(area, 2.0);
    ASSERT_EQ(doubled.size(), QSize(800, 600));
    // Sharp edges over twice the rows and columns in four times the pixels score about half
    // per pixel (0.58 here). A picture stretched from its 340 x 399 bitmap scores a third,
    // one stretched from the normal drawing a fifth.
    EXPECT_GT(edgeEnergy(doubled), 0.45 * edgeEnergy(normal))
        << edgeEnergy(doubled) << " vs " << edgeEnergy(normal);

    // A missing picture leaves the area plain.
    ClientArea plain;
    EXPECT_FALSE(plain.setPicture(QStringLiteral(":/dravolin/no-such-picture.svg")));
    plain.resize(100, 100);
    EXPECT_EQ(edgeEnergy(renderAt(plain, 1.0)), 0.0);
}

}  // namespace
}  // namespace dravolin
