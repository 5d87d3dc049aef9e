#include "ui/client_area.h"

#include <QPainter>
#include <QResizeEvent>

#include "ui/window_layout.h"

namespace dravolin {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {}

bool ClientArea::setPicture(const QString& svgPath) {
    const bool loaded = picture_.load(svgPath);
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
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The whole drawing is stretched to the picture's place, as the layout gives it.
    picture_.render(&painter, WindowLayout::forClientSize(size()).picture);
}

}  // namespace dravolin
