#pragma once

#include <QDialog>

namespace dravolin {

// A short guide to the program, shown beside the main window (F1 or "Help").
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    static QString helpText();
};

}  // namespace dravolin
