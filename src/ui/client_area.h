#pragma once

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
    bool hasPicture() const { return picture_.isValid(); }

signals:
    void resized(QSize size);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer picture_;
};

}  // namespace dravolin
