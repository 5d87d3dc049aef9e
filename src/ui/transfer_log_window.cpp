#include "ui/transfer_log_window.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
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
// Room for every column with the paths of an ordinary folder; a smaller screen gets less.
constexpr int kWidthInCharacters = 165;
constexpr int kHeightInLines = 25;

// The log's keys in the order of the columns; the time is the line's first field and has
// no key.
const char* const kColumnKeys[] = {"time",     "function", "name",   "outcome", "bytes",
                                   "duration", "pc",       "device", "line",    "program"};
constexpr int kPcColumn = 6;
constexpr int kDeviceColumn = 7;
constexpr int kLineColumn = 8;
constexpr int kProgramColumn = 9;
// The columns that give way when the window is narrower than the log, the widest first,
// each down to about this many characters or its title: the paths, the line settings (long in
// German words) and the program, shortened in their middle. Their tooltips have them whole.
constexpr int kGivingWay[] = {kPcColumn, kDeviceColumn, kLineColumn, kProgramColumn};
constexpr int kNarrowestInCharacters = 12;

// A title of several words on two lines, broken where the longer line is shortest: the
// titles are wider than most of their cells.
QString onTwoLines(const QString& title, const QFontMetrics& metrics) {
    QString best = title;
    int narrowest = metrics.horizontalAdvance(title);
    for (qsizetype space = title.indexOf(QLatin1Char(' ')); space >= 0;
         space = title.indexOf(QLatin1Char(' '), space + 1)) {
        const int wider = std::max(metrics.horizontalAdvance(title.left(space)),
                                   metrics.horizontalAdvance(title.mid(space + 1)));
        if (wider < narrowest) {
            narrowest = wider;
            best = title.left(space) + QLatin1Char('\n') + title.mid(space + 1);
        }
    }
    return best;
}

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
    QStringList titles = text(TextId::TransferLogColumns).split(QLatin1Char('\t'));
    for (QString& title : titles) {
        title = onTwoLines(title, QFontMetrics(font()));
    }
    table_ = new QTableWidget(0, static_cast<int>(titles.size()), this);
    table_->setObjectName(QStringLiteral("logTable"));
    table_->setHorizontalHeaderLabels(titles);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).lineSpacing() + 6);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->viewport()->installEventFilter(this);
    const QFontMetrics metrics(font());
    int width = metrics.averageCharWidth() * kWidthInCharacters;
    if (const QScreen* display = screen()) {
        width = std::min(width, display->availableGeometry().width());
    }
    resize(width, metrics.lineSpacing() * kHeightInLines);

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
    // Every column as wide as its title and its widest cell, so that no title is cut; then
    // shared out over the width there is.
    table_->resizeColumnsToContents();
    QHeaderView* header = table_->horizontalHeader();
    naturalWidths_.clear();
    for (int column = 0; column < table_->columnCount(); ++column) {
        naturalWidths_.push_back(
            std::max(header->sectionSize(column), header->sectionSizeHint(column)));
    }
    shareWidth();
}

void TransferLogWindow::shareWidth() {
    // Room to spare goes to the file on this computer. Room missing is taken from the
    // widest of the columns that give way, a pixel at a time, so that they end alike, each
    // down to a few characters or its title, whichever is wider.
    if (naturalWidths_.size() != static_cast<std::size_t>(table_->columnCount())) {
        return;
    }
    QHeaderView* header = table_->horizontalHeader();
    std::vector<int> widths = naturalWidths_;
    int total = 0;
    for (const int width : widths) {
        total += width;
    }
    int missing = total - table_->viewport()->width();
    if (missing < 0) {
        widths[kPcColumn] -= missing;
    }
    const int narrowest = header->fontMetrics().averageCharWidth() * kNarrowestInCharacters;
    std::vector<int> least(widths.size(), 0);
    for (const int column : kGivingWay) {
        least[column] =
            std::min(widths[column], std::max(narrowest, header->sectionSizeHint(column)));
    }
    while (missing > 0) {
        int widest = -1;
        for (const int column : kGivingWay) {
            if (widths[column] > least[column] && (widest < 0 || widths[column] > widths[widest])) {
                widest = column;
            }
        }
        if (widest < 0) {
            break;  // a window too narrow for the rest: the bar scrolls
        }
        --widths[widest];
        --missing;
    }
    for (int column = 0; column < table_->columnCount(); ++column) {
        header->resizeSection(column, widths[static_cast<std::size_t>(column)]);
    }
}

bool TransferLogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_->viewport() && event->type() == QEvent::Resize) {
        shareWidth();
    }
    return QDialog::eventFilter(watched, event);
}

void TransferLogWindow::addRow(const std::string& line) {
    const std::map<std::string, std::string> fields = fieldsOf(line);
    const int row = table_->rowCount();
    table_->insertRow(row);
    int column = 0;
    for (const char* key : kColumnKeys) {
        const auto field = fields.find(key);
        const std::string value = field == fields.end() ? std::string() : field->second;
        auto* item = new QTableWidgetItem(shownValue(key, value));
        // What a cell may shorten (the time's fraction and zone, a path's middle, the line
        // settings) is whole in its tooltip.
        if (column == 0 || std::find(std::begin(kGivingWay), std::end(kGivingWay), column) !=
                               std::end(kGivingWay)) {
            item->setToolTip(column == 0 ? QString::fromStdString(value) : item->text());
        }
        table_->setItem(row, column++, item);
    }
    shownLines_.push_back(line);
}

QString TransferLogWindow::shownValue(std::string_view key, const std::string& value) const {
    // The log holds codes and numbers as a program reads them; the window says them in its
    // language (copying still takes the log's own lines).
    const QString raw = QString::fromStdString(value);
    if (key == "time") {
        // "2026-12-07T09:15:02.481+01:00" to the second, as a clock shows it: the
        // milliseconds and the zone are in the tooltip.
        static const QRegularExpression kToTheSecond(
            QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})T(\\d{2}:\\d{2}:\\d{2})"));
        const QRegularExpressionMatch match = kToTheSecond.match(raw);
        return match.hasMatch() ? match.captured(1) + QLatin1Char(' ') + match.captured(2) : raw;
    }
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
