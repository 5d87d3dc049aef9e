#include "ui/client_area.h"

#include <QPainter>
#include <QResizeEvent>

#include "ui/window_layout.h"

namespace dravolin {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {}

void ClientArea::setPicture(QPixmap picture) {
    picture_ = std::move(picture);
    update();
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized(event->size());
}

void ClientArea::paintEvent(QPaintEvent* event) {
    static_cast<void>(event);
    if (picture_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(WindowLayout::forClientSize(size()).picture, picture_);
}

}  // namespace dravolin
