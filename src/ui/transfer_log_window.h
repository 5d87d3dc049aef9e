#pragma once

#include <QDialog>

#include <string>

#include "core/message_catalog.h"

class QPlainTextEdit;
class QPushButton;

namespace dravolin {

// The transfer log for reading: its lines newest first, selectable, with a button that
// copies the selection (or, with nothing selected, every line) to the clipboard. It reads
// the log when it opens and again on Refresh; it never writes it.
//
// Object names: "logText" the lines, "copy", "refresh" and "close" the buttons.
class TransferLogWindow : public QDialog {
    Q_OBJECT

public:
    TransferLogWindow(std::string logPath, Language language, QWidget* parent = nullptr);

    void reload();
    void copyToClipboard();

private:
    QString text(TextId id) const;

    std::string logPath_;
    MessageCatalog catalog_;
    QPlainTextEdit* lines_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

}  // namespace dravolin
