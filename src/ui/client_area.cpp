#include "ui/client_area.h"

#include <QPaintEngine>
#include <QPainter>
#include <QResizeEvent>

#include "ui/window_layout.h"

namespace dravolin {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {}

bool ClientArea::setPicture(const QString& svgPath) {
    const bool loaded = picture_.load(svgPath);
    drawn_ = QImage();
    update();
    return loaded;
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized(event->size());
}

void ClientArea::paintEvent(QPaintEvent* event) {
    static_cast<void>(event);
    if (!picture_.isValid()) {
        return;
    }
    QPainter painter(this);
    // The whole drawing is stretched to the picture's place, as the layout gives it, drawn
    // for the device's own pixels so that it stays sharp.
    const QRect place = WindowLayout::forClientSize(size()).picture;
    // The device painted on, which need not be this widget's own (a grab, a print).
    const qreal pixelRatio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
    painter.drawImage(place.topLeft(), pictureFor(place.size(), pixelRatio));
}

const QImage& ClientArea::pictureFor(QSize size, qreal pixelRatio) {
    const QSize pixels = (QSizeF(size) * pixelRatio).toSize();
    if (drawn_.size() != pixels || drawn_.devicePixelRatio() != pixelRatio) {
        drawn_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        drawn_.fill(Qt::transparent);
        QPainter painter(&drawn_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        picture_.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        painter.end();
        drawn_.setDevicePixelRatio(pixelRatio);
    }
    return drawn_;
}

}  // namespace dravolin
