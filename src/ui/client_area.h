#pragma once

#include <QPixmap>
#include <QWidget>

namespace dravolin {

// The main window's area below the menu bar: it carries the controls and paints the
// picture behind them. It only reports size changes; the window places the controls.
class ClientArea : public QWidget {
    Q_OBJECT

public:
    explicit ClientArea(QWidget* parent = nullptr);

    void setPicture(QPixmap picture);
    const QPixmap& picture() const { return picture_; }

signals:
    void resized(QSize size);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace dravolin
