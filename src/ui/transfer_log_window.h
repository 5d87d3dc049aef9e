#pragma once

#include <QDialog>
#include <QLocale>

#include <string>
#include <string_view>
#include <vector>

#include "core/message_catalog.h"

class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTableWidget;

namespace dravolin {

// The transfer log for reading: one row per exchange, newest first, in columns an operator
// reads (time, function, name, outcome first), the log's codes said in the window's
// language. Copy (the button or Ctrl+C) puts the selected
// rows, or every row with none selected, on the clipboard as the log's own lines, so that
// what is pasted reads like the file. It reads the log when it opens, whenever the log
// changes and on Refresh; it never writes it. The columns fit the window: where they are
// wider, the paths, the line settings and the program give way in their middle (whole in
// their tooltips).
//
// Object names: "logTable" the rows, "logNote" the line shown when there are none, "copy",
// "refresh" and "close" the buttons.
class TransferLogWindow : public QDialog {
    Q_OBJECT

public:
    TransferLogWindow(std::string logPath, Language language, QWidget* parent = nullptr);

    void reload();
    void copyToClipboard();

protected:
    // Shares the width out again when the table's view changes its size.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchLog();
    QString text(TextId id) const;
    void showNote(const QString& note);
    void addRow(const std::string& line);
    QString shownValue(std::string_view key, const std::string& value) const;
    void fitColumns();
    void shareWidth();

    std::string logPath_;
    MessageCatalog catalog_;
    QLocale locale_;  // of the window's language: decimals as its readers write them
    std::vector<std::string> shownLines_;  // the log's lines of the rows, newest first
    std::vector<int> naturalWidths_;       // of each column: its title's and widest cell's
    QLabel* note_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
};

}  // namespace dravolin
