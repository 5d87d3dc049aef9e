#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>

namespace dravolin {

// Converts the dialog units in which our dialog layouts are written into pixels of the
// dialog's font: a horizontal unit is a quarter of the average character width, a vertical
// unit an eighth of the character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFontMetrics& metrics);
    DialogUnits(int baseX, int baseY);

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

    int toPixelsX(int x) const { return x * baseX_ / 4; }
    int toPixelsY(int y) const { return y * baseY_ / 8; }
    QSize toPixels(QSize size) const;
    QRect toPixels(QRect rect) const;

private:
    int baseX_;
    int baseY_;
};

}  // namespace dravolin
