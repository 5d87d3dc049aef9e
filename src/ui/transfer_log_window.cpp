#include "ui/transfer_log_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

#include "exchange/transfer_log.h"

namespace dravolin {

namespace {

// Both generations of the log hold about 20000 lines; all of them fit.
constexpr std::size_t kLinesShown = 50000;
constexpr int kWidthInCharacters = 120;
constexpr int kHeightInLines = 25;

QPushButton* newButton(const QString& name, const QString& label, QWidget* parent) {
    auto* button = new QPushButton(label, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TransferLogWindow::TransferLogWindow(std::string logPath, Language language, QWidget* parent)
    : QDialog(parent), logPath_(std::move(logPath)), catalog_(language) {
    setObjectName(QStringLiteral("transferLogWindow"));
    setWindowTitle(text(TextId::TransferLogTitle));
    lines_ = new QPlainTextEdit(this);
    lines_->setObjectName(QStringLiteral("logText"));
    lines_->setReadOnly(true);
    lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The fields are tab-separated; fixed-width characters keep the columns readable.
    lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics metrics(lines_->font());
    lines_->setMinimumSize(metrics.averageCharWidth() * kWidthInCharacters / 2,
                           metrics.lineSpacing() * kHeightInLines / 2);
    resize(metrics.averageCharWidth() * kWidthInCharacters, metrics.lineSpacing() * kHeightInLines);

    copyButton_ = newButton(QStringLiteral("copy"), text(TextId::CopyButton), this);
    refreshButton_ = newButton(QStringLiteral("refresh"), text(TextId::RefreshButton), this);
    closeButton_ = newButton(QStringLiteral("close"), text(TextId::CloseButton), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copyButton_);
    buttons->addWidget(refreshButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lines_);
    layout->addLayout(buttons);

    connect(copyButton_, &QPushButton::clicked, this, &TransferLogWindow::copyToClipboard);
    connect(refreshButton_, &QPushButton::clicked, this, &TransferLogWindow::reload);
    connect(closeButton_, &QPushButton::clicked, this, &TransferLogWindow::close);
    reload();
}

QString TransferLogWindow::text(TextId id) const {
    return QString::fromStdString(catalog_.lookup(id));
}

void TransferLogWindow::reload() {
    std::vector<std::string> lines;
    std::string error;
    if (!TransferLog::lastLines(logPath_, kLinesShown, lines, error)) {
        lines_->setPlainText(QString::fromStdString(
            catalog_.lookup(FilledText{TextId::TransferLogCannotRead, {error}})));
        return;
    }
    if (lines.empty()) {
        lines_->setPlainText(QString::fromStdString(
            catalog_.lookup(FilledText{TextId::TransferLogEmpty, {logPath_}})));
        return;
    }
    QString shown;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        shown += QString::fromStdString(*line);
        shown += QLatin1Char('\n');
    }
    lines_->setPlainText(shown);
}

void TransferLogWindow::copyToClipboard() {
    const QString selected = lines_->textCursor().selectedText();
    // A selection over several lines holds paragraph separators in place of line ends.
    QString copied = selected.isEmpty() ? lines_->toPlainText() : selected;
    copied.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    QApplication::clipboard()->setText(copied);
}

}  // namespace dravolin
