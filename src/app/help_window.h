#pragma once

#include <QDialog>

#include "core/message_catalog.h"

namespace dravolin {

// A short guide to the program, shown beside the main window (F1 or "Help").
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr, Language language = Language::English);

    static QString helpText(Language language);
};

}  // namespace dravolin
