#pragma once

#include <QImage>
#include <QString>
#include <QSvgRenderer>
#include <QWidget>

namespace dravolin {

// The main window's area below the menu bar: it carries the controls and paints the
// picture behind them. It only reports size changes; the window places the controls.
class ClientArea : public QWidget {
    Q_OBJECT

public:
    explicit ClientArea(QWidget* parent = nullptr);

    // The picture as an SVG drawing, painted at the screen's own resolution, so that it
    // stays sharp at any scale. Whether it could be read.
    bool setPicture(const QString& svgPath);

signals:
    void resized(QSize size);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& pictureFor(QSize size, qreal pixelRatio);

    QSvgRenderer picture_;
    // The picture drawn for the last size and pixel ratio: every repaint of a control
    // above it (the progress bar, ten times a second) repaints a piece of it, and drawing
    // the SVG anew each time costs far more than copying.
    QImage drawn_;
};

}  // namespace dravolin
