#include "ui/transfer_log_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <set>

#include "exchange/transfer_log.h"
#include "protocol/path_text.h"

namespace dravolin {

namespace {

// Both generations of the log hold about 20000 lines; all of them fit.
constexpr std::size_t kLinesShown = 50000;
constexpr int kWidthInCharacters = 130;
constexpr int kHeightInLines = 25;

// The log's keys in the order of the columns; the time is the line's first field and has
// no key.
const char* const kColumnKeys[] = {"time",     "function", "name",   "outcome", "bytes",
                                   "duration", "pc",       "device", "line",    "program"};

QPushButton* newButton(const QString& name, const QString& label, QWidget* parent) {
    auto* button = new QPushButton(label, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

// A log line's fields by key: "time" for the first, "key=value" for the others.
std::map<std::string, std::string> fieldsOf(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    for (bool first = true; start <= line.size(); first = false) {
        const std::size_t end = std::min(line.find('\t', start), line.size());
        const std::string field = line.substr(start, end - start);
        const std::size_t equals = field.find('=');
        if (first) {
            fields["time"] = field;
        } else if (equals != std::string::npos) {
            fields[field.substr(0, equals)] = field.substr(equals + 1);
        }
        start = end + 1;
    }
    return fields;
}

}  // namespace

TransferLogWindow::TransferLogWindow(std::string logPath, Language language, QWidget* parent)
    : QDialog(parent),
      logPath_(std::move(logPath)),
      catalog_(language),
      locale_(language == Language::German ? QLocale::German : QLocale::English) {
    setObjectName(QStringLiteral("transferLogWindow"));
    setWindowTitle(text(TextId::TransferLogTitle));
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("logNote"));
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QStringList titles = text(TextId::TransferLogColumns).split(QLatin1Char('\t'));
    table_ = new QTableWidget(0, static_cast<int>(titles.size()), this);
    table_->setObjectName(QStringLiteral("logTable"));
    table_->setHorizontalHeaderLabels(titles);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).lineSpacing() + 6);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics(font());
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
    layout->addWidget(note_);
    layout->addWidget(table_);
    layout->addLayout(buttons);

    connect(copyButton_, &QPushButton::clicked, this, &TransferLogWindow::copyToClipboard);
    connect(new QShortcut(QKeySequence::Copy, table_), &QShortcut::activated, this,
            &TransferLogWindow::copyToClipboard);
    connect(refreshButton_, &QPushButton::clicked, this, &TransferLogWindow::reload);
    connect(closeButton_, &QPushButton::clicked, this, &TransferLogWindow::close);
    // A line written by this program or another one (the CLI) shows while the window is
    // open. The folder is watched too: the log is made there, or rotated away.
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &TransferLogWindow::reload);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &TransferLogWindow::reload);
    reload();
}

QString TransferLogWindow::text(TextId id) const {
    return QString::fromStdString(catalog_.lookup(id));
}

void TransferLogWindow::showNote(const QString& note) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
}

void TransferLogWindow::watchLog() {
    const QString log = QString::fromStdString(logPath_);
    const QString folder = QFileInfo(log).absolutePath();
    for (const QString& path : {folder, log}) {
        if (!watcher_->files().contains(path) && !watcher_->directories().contains(path) &&
            QFileInfo::exists(path)) {
            watcher_->addPath(path);
        }
    }
}

void TransferLogWindow::reload() {
    watchLog();
    table_->setRowCount(0);
    shownLines_.clear();
    std::vector<std::string> lines;
    std::string error;
    if (!TransferLog::lastLines(logPath_, kLinesShown, lines, error)) {
        showNote(QString::fromStdString(
            catalog_.lookup(FilledText{TextId::TransferLogCannotRead, {error}})));
        fitColumns();
        return;
    }
    if (lines.empty()) {
        showNote(QString::fromStdString(
            catalog_.lookup(FilledText{TextId::TransferLogEmpty, {shownPath(logPath_)}})));
        fitColumns();
        return;
    }
    showNote({});
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        addRow(*line);
    }
    fitColumns();
}

void TransferLogWindow::fitColumns() {
    // Every column as wide as its title and its widest cell, so that no title is cut.
    table_->resizeColumnsToContents();
    QHeaderView* header = table_->horizontalHeader();
    for (int column = 0; column < table_->columnCount(); ++column) {
        header->resizeSection(
            column, std::max(header->sectionSize(column), header->sectionSizeHint(column)));
    }
}

void TransferLogWindow::addRow(const std::string& line) {
    const std::map<std::string, std::string> fields = fieldsOf(line);
    const int row = table_->rowCount();
    table_->insertRow(row);
    int column = 0;
    for (const char* key : kColumnKeys) {
        const auto field = fields.find(key);
        const std::string value = field == fields.end() ? std::string() : field->second;
        table_->setItem(row, column++, new QTableWidgetItem(shownValue(key, value)));
    }
    shownLines_.push_back(line);
}

QString TransferLogWindow::shownValue(std::string_view key, const std::string& value) const {
    // The log holds codes and numbers as a program reads them; the window says them in its
    // language (copying still takes the log's own lines).
    const QString raw = QString::fromStdString(value);
    if (key == "function") {
        static const std::map<std::string, TextId> kFunctions = {{"list", TextId::LogFunctionList},
                                                                 {"get", TextId::LogFunctionGet},
                                                                 {"put", TextId::LogFunctionPut},
                                                                 {"find", TextId::LogFunctionFind}};
        const auto known = kFunctions.find(value);
        return known == kFunctions.end() ? raw : text(known->second);
    }
    if (key == "outcome" && !value.empty()) {
        if (value == "0") {
            return text(TextId::LogOutcomeSuccess);
        }
        if (value == "cancelled") {
            return text(TextId::LogOutcomeCancelled);
        }
        return QString::fromStdString(
            catalog_.lookup(FilledText{TextId::LogOutcomeFailed, {value}}));
    }
    if (key == "line" && catalog_.language() == Language::German) {
        // "38400,O,8,1": baud, parity, data bits (always 8), stop bits.
        const QStringList parts = raw.split(QLatin1Char(','));
        bool baudRead = false;
        bool stopRead = false;
        const long baud = parts.size() == 4 ? parts[0].toLong(&baudRead) : 0;
        const int stopBits = parts.size() == 4 ? parts[3].toInt(&stopRead) : 0;
        if (baudRead && stopRead && parts[1].size() == 1) {
            return QString::fromStdString(lineSettingsText(
                baud, static_cast<char>(parts[1][0].toLatin1()), stopBits, catalog_.language()));
        }
        return raw;
    }
    if (key == "duration") {
        bool number = false;
        const double seconds = raw.toDouble(&number);
        return number ? locale_.toString(seconds, 'f', 3) : raw;
    }
    return raw;
}

void TransferLogWindow::copyToClipboard() {
    std::set<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        rows.insert(index.row());
    }
    QString copied;
    for (std::size_t row = 0; row < shownLines_.size(); ++row) {
        if (rows.empty() || rows.count(static_cast<int>(row)) != 0) {
            copied += QString::fromStdString(shownLines_[row]) + QLatin1Char('\n');
        }
    }
    QApplication::clipboard()->setText(copied);
}

}  // namespace dravolin
