#include "ui/dialog_units.h"

#include <QString>

#include <algorithm>

namespace dravolin {

namespace {

// The average width is taken over the 52 Latin letters, rounded, as dialog layouts have
// always been measured.
int averageCharacterWidth(const QFontMetrics& metrics) {
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int total = metrics.horizontalAdvance(letters);
    return std::max(1, (total + 26) / 52);
}

}  // namespace

DialogUnits::DialogUnits(const QFontMetrics& metrics)
    : DialogUnits(averageCharacterWidth(metrics), metrics.height()) {}

DialogUnits::DialogUnits(int baseX, int baseY)
    : baseX_(std::max(1, baseX)), baseY_(std::max(1, baseY)) {}

QSize DialogUnits::toPixels(QSize size) const {
    return {toPixelsX(size.width()), toPixelsY(size.height())};
}

QRect DialogUnits::toPixels(QRect rect) const {
    return {toPixelsX(rect.x()), toPixelsY(rect.y()), toPixelsX(rect.width()),
            toPixelsY(rect.height())};
}

}  // namespace dravolin
