#include "ui/exchange_panel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <utility>

#include "exchange/transfer_progress.h"
#include "protocol/escaped_name.h"
#include "protocol/safe_file_name.h"
#include "ui/client_area.h"

namespace dravolin {

namespace {

QComboBox* newListBox(const QString& name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    return box;
}

QGroupBox* newGroupBox(const QString& name, const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    return box;
}

// A combo box takes its natural field height at the table's place; what the table gives
// beyond the field bounds the dropped-down list.
void placeComboBox(QComboBox* box, const QRect& table) {
    const int fieldHeight = box->sizeHint().height();
    box->setGeometry(table.x(), table.y(), table.width(), fieldHeight);
    int rowHeight = box->count() > 0 ? box->view()->sizeHintForRow(0) : 0;
    if (rowHeight <= 0) {
        rowHeight = box->fontMetrics().height();
    }
    box->setMaxVisibleItems(std::max(1, (table.height() - fieldHeight) / rowHeight));
}

// `text` as it fits in `width`: whole when it fits; otherwise a path loses the middle of its
// folders and keeps its file name, and anything else its own middle.
QString fittedArgument(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    const qsizetype separator =
        std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
    if (separator > 0) {
        const QString name = text.mid(separator);
        const QString folders = metrics.elidedText(text.left(separator), Qt::ElideMiddle,
                                                   width - metrics.horizontalAdvance(name));
        if (folders.size() > 1) {  // more than the ellipsis alone
            return folders + name;
        }
    }
    return metrics.elidedText(text, Qt::ElideMiddle, width);
}

}  // namespace

ExchangePanel::ExchangePanel(ClientArea* client, const QMenuBar* menuBar,
                             const MessageCatalog& catalog)
    : QObject(client), catalog_(catalog), menuBar_(menuBar) {
    functionGroup_ =
        newGroupBox(QStringLiteral("functionGroup"), QStringLiteral("Funktion auswählen"), client);
    // The function list offers its two entries and nothing else: typed text could only
    // become a choice that starts nothing. Its prompt shows while no entry is chosen.
    functionList_ = newListBox(QStringLiteral("functionList"), client);
    functionList_->addItems({QStringLiteral("Daten empfangen"), QStringLiteral("Daten senden")});
    fileGroup_ =
        newGroupBox(QStringLiteral("fileGroup"), QStringLiteral("Datei auswählen"), client);
    // The file list's field may show a prompt or a name typed in; what the operator types
    // never becomes an entry.
    fileList_ = newListBox(QStringLiteral("fileList"), client);
    fileList_->setEditable(true);
    fileList_->setInsertPolicy(QComboBox::NoInsert);
    // The arrow keys and the wheel on the closed file list only move through the names;
    // Enter on a name (or a click in the dropped-down list) picks it.
    fileList_->installEventFilter(this);
    fileList_->lineEdit()->installEventFilter(this);
    statusLine_ = new QLabel(client);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusLine_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The status line covers the lower edge of the picture.
    statusLine_->setAutoFillBackground(true);

    progressBar_ = new QProgressBar(client);
    progressBar_->setObjectName(QStringLiteral("progress"));
    progressBar_->setTextVisible(true);
    progressBar_->setAlignment(Qt::AlignCenter);
    progressBar_->hide();
    cancelButton_ = new QPushButton(client);
    cancelButton_->setObjectName(QStringLiteral("cancel"));
    // Never the dialog's default button, and never holding the focus: Enter must not cancel
    // by accident. Escape is the keyboard's way to cancel.
    cancelButton_->setAutoDefault(false);
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    cancelButton_->hide();

    connect(client, &ClientArea::resized, this, &ExchangePanel::placeControls);
    // Only the operator's own picks count; filling and resetting the lists does not.
    connect(functionList_, &QComboBox::activated, this, &ExchangePanel::functionChosen);
    connect(fileList_, &QComboBox::activated, this, &ExchangePanel::listedFileChosen);
    connect(cancelButton_, &QPushButton::clicked, this, &ExchangePanel::cancelClicked);
}

void ExchangePanel::initialise() {
    functionList_->clear();
    functionList_->addItem(text(TextId::ReceiveEntry));
    functionList_->addItem(text(TextId::SendEntry));
    functionList_->setPlaceholderText(text(TextId::SelectFunction));
    resetFunctionChoice();

    fileGroup_->setTitle(text(TextId::SelectFile));
    cancelButton_->setText(text(TextId::CancelButton));

    fileList_->hide();
    fileGroup_->hide();
    showStatus(state_.status);
    functionGroup_->setTitle(text(TextId::SelectFunction));
}

QString ExchangePanel::text(TextId id) const {
    return QString::fromStdString(catalog_.lookup(id));
}

TextRoom ExchangePanel::textRoom() const {
    TextRoom room;
    // The status line measured with each text it can show, as showStatus shows it: a word
    // filled in (a path, a name) gives way down to an ellipsis.
    QLabel probe;
    probe.setFont(statusLine_->font());
    probe.setFrameStyle(statusLine_->frameStyle());
    const auto widest = [this, &probe](std::initializer_list<TextId> ids) {
        int width = 0;
        for (const TextId id : ids) {
            QString shown = QString::fromStdString(
                fillPlaceholders(catalog_.lookup(id), {QStringLiteral("x…").toStdString()}));
            probe.setText(shown.replace(QLatin1Char('\t'), QLatin1Char(' ')));
            width = std::max(width, probe.sizeHint().width());
        }
        return width;
    };
    room.statusWidth =
        widest({TextId::StatusSuccess, TextId::StatusFailure, TextId::StatusStartUp,
                TextId::StatusFunctionChosen, TextId::StatusIdle, TextId::StatusCancelled,
                TextId::StatusFailureLetter, TextId::StatusSaved, TextId::StatusStored,
                TextId::StatusRunFile, TextId::RunSummary});
    room.statusWidthBesideCancel = widest(
        {TextId::StatusDirectoryListed, TextId::StatusChooseFileToSend, TextId::StatusPleaseWait});
    room.statusWidthBesideProgress = widest({TextId::StatusPleaseWait});
    room.cancelWidth = cancelButton_->sizeHint().width();
    // The bar's longest text: five-digit counts and a time left in minutes, or a silent line.
    TransferProgress longest;
    longest.done = 10000;
    longest.expected = 16484;
    longest.secondsLeft = 3599;
    TransferProgress silent = longest;
    silent.silent = true;
    const QFontMetrics barMetrics = progressBar_->fontMetrics();
    const auto advance = [&](const TransferProgress& progress) {
        return barMetrics.horizontalAdvance(
            QString::fromStdString(formatProgress(progress, catalog_.language())));
    };
    room.progressWidth =
        std::max(advance(longest), advance(silent)) + 2 * barMetrics.averageCharWidth();
    for (const QGroupBox* group : {functionGroup_, fileGroup_}) {
        room.groupTitleWidth = std::max(room.groupTitleWidth, group->minimumSizeHint().width());
        // The title is drawn on the frame's top line; a field may start right below it.
        room.groupContentTop = std::max(room.groupContentTop, group->fontMetrics().height());
        const QRect contents = group->contentsRect();
        room.groupContentBottom =
            std::max(room.groupContentBottom, group->height() - 1 - contents.bottom());
    }
    // Both fields measured with every text they show: entries and prompts, and the widest
    // name of eight characters the programmer may list.
    QComboBox listProbe;
    listProbe.setFont(functionList_->font());
    listProbe.setEditable(true);
    listProbe.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    listProbe.addItems({text(TextId::ReceiveEntry), text(TextId::SendEntry),
                        text(TextId::SelectFunction), text(TextId::SelectFile),
                        QStringLiteral("WWWWWWWW")});
    room.listWidth = listProbe.sizeHint().width();
    room.listHeight = std::max(functionList_->sizeHint().height(), fileList_->sizeHint().height());
    room.menuWidth = menuBar_->sizeHint().width();
    return room;
}

void ExchangePanel::placeControls(QSize clientSize) {
    const WindowLayout layout = WindowLayout::forClientSize(clientSize);
    statusPlace_ = layout.statusLine;
    placeStatusRow();
    functionGroup_->setGeometry(layout.functionGroup);
    placeComboBox(functionList_, layout.functionList);
    fileGroup_->setGeometry(layout.fileGroup);
    placeComboBox(fileList_, layout.fileList);
}

void ExchangePanel::placeStatusRow() {
    // Without Cancel the status line has the whole row, as the layout table gives it.
    if (cancelButton_->isHidden()) {
        statusLine_->setGeometry(statusPlace_);
    } else {
        const StatusRow row = StatusRow::within(statusPlace_, cancelButton_->sizeHint().width(),
                                                !progressBar_->isHidden());
        statusLine_->setGeometry(row.statusLine);
        progressBar_->setGeometry(row.progressBar);
        cancelButton_->setGeometry(row.cancelButton);
    }
    showStatusText();
}

void ExchangePanel::showState(const ExchangeState& state) {
    using Stage = ExchangeState::Stage;
    const ExchangeState was = std::exchange(state_, state);
    if (state.status != was.status) {
        showStatus(state.status);
    }
    if (state.names != was.names) {
        fillFileList(state.names);
    }
    const bool listed = state.stage == Stage::Listed;
    if (state.namesShown != was.namesShown || listed != (was.stage == Stage::Listed)) {
        showFileList(state.namesShown, listed);
    }
    if (state.stage != was.stage) {
        if (state.stage == Stage::Outcome) {
            resetFunctionChoice();
        }
        // Nothing else can be chosen while anything runs.
        if (state.stage == Stage::Idle || was.stage == Stage::Idle) {
            enableFunctionChoice(state.stage == Stage::Idle);
        }
    }
    if (state.cancelAvailable == cancelButton_->isHidden()) {
        cancelButton_->setVisible(state.cancelAvailable);
        placeStatusRow();
    }
}

void ExchangePanel::showStatus(const FilledText& status) {
    status_ = status;
    showStatusText();
}

void ExchangePanel::showStatusText() {
    QString shown = text(status_.id);
    QString whole;  // the last argument, when it had to give way
    if (!status_.arguments.empty()) {
        // The last argument (a path above all) gives way, from its middle, so that the line
        // fits and the file's own name stays readable at its end; the tooltip has it whole.
        const QFontMetrics metrics = statusLine_->fontMetrics();
        std::vector<std::string> arguments = status_.arguments;
        arguments.back().clear();
        const QString frame =
            QString::fromStdString(fillPlaceholders(shown.toStdString(), arguments));
        const int room = statusLine_->contentsRect().width() -
                         metrics.horizontalAdvance(QLatin1Char('x')) -
                         metrics.horizontalAdvance(frame);
        const QString full = QString::fromStdString(status_.arguments.back());
        const QString argument = fittedArgument(full, metrics, std::max(room, 0));
        if (argument != full) {
            whole = full;
        }
        arguments.back() = argument.toStdString();
        shown = QString::fromStdString(fillPlaceholders(shown.toStdString(), arguments));
    }
    // A tab means nothing in a status line (text 24 has one); it shows as a space.
    shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
    statusLine_->setText(shown);
    statusLine_->setToolTip(whole);
}

void ExchangePanel::fillFileList(const std::vector<std::string>& names) {
    fileList_->clear();
    for (const std::string& name : names) {
        fileList_->addItem(QString::fromStdString(escapedName(trimmedDeviceName(name))));
    }
    // The first entry becomes the current one by itself; the field must keep its prompt with
    // nothing selected, and without telling anyone of a pick.
    fileList_->setCurrentIndex(-1);
    fileList_->setEditText(text(TextId::SelectFile));
}

void ExchangePanel::showFileList(bool shown, bool enabled) {
    fileList_->setVisible(shown);
    fileGroup_->setVisible(shown);
    // Once a name is picked the list means nothing until the next listing.
    fileList_->setEnabled(enabled);
    fileGroup_->setEnabled(enabled);
    // The listed names are what the operator chooses next.
    if (enabled) {
        fileList_->setFocus();
    }
}

void ExchangePanel::enableFunctionChoice(bool enabled) {
    functionList_->setEnabled(enabled);
    functionGroup_->setEnabled(enabled);
    // The keyboard comes back to where the next exchange begins.
    if (enabled) {
        functionList_->setFocus();
    }
}

void ExchangePanel::resetFunctionChoice() {
    // No entry is current while the prompt shows: the first Down chooses the first entry.
    functionList_->setCurrentIndex(-1);
}

int ExchangePanel::selectedFunction() const {
    return functionList_->currentIndex();
}

bool ExchangePanel::focusInFunctionField() const {
    const QWidget* focus = functionList_->window()->focusWidget();
    return focus != nullptr && (focus == functionList_ || functionList_->isAncestorOf(focus));
}

void ExchangePanel::focusFunctionChoice() {
    functionList_->setFocus();
}

void ExchangePanel::showProgress(const std::optional<TransferProgress>& measured) {
    if (!measured) {
        if (!progressBar_->isHidden()) {
            progressBar_->hide();
            placeStatusRow();
        }
        return;
    }
    const TransferProgress& progress = *measured;
    // Only what changed is set: each change repaints the bar. The bar replaces only %p, %v
    // and %m in its format; the text never holds those.
    const QString shown = QString::fromStdString(formatProgress(progress, catalog_.language()));
    if (progressBar_->format() != shown) {
        progressBar_->setFormat(shown);
    }
    const int total = static_cast<int>(progress.expected);
    if (progressBar_->minimum() != 0 || progressBar_->maximum() != total) {
        progressBar_->setRange(0, total);
    }
    const int done = static_cast<int>(std::min(progress.done, progress.expected));
    if (progressBar_->value() != done) {
        progressBar_->setValue(done);
    }
    if (progressBar_->isHidden()) {
        progressBar_->show();
        placeStatusRow();
    }
}

bool ExchangePanel::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == fileList_ || watched == fileList_->lineEdit()) &&
        !fileList_->view()->isVisible()) {
        if (event->type() == QEvent::Wheel) {
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            return stepThroughFileList(static_cast<const QKeyEvent&>(*event));
        }
    }
    return QObject::eventFilter(watched, event);
}

bool ExchangePanel::stepThroughFileList(const QKeyEvent& key) {
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;  // Alt+Down opens the list
    }
    int step = 0;
    switch (key.key()) {
        case Qt::Key_Down:
        case Qt::Key_PageDown:
            step = 1;
            break;
        case Qt::Key_Up:
        case Qt::Key_PageUp:
            step = -1;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // The name the field shows, moved to or typed; the prompt takes nothing.
            const int shown = fileList_->findText(fileList_->currentText(),
                                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (shown >= 0) {
                emit listedFileChosen(shown);
            }
            return true;
        }
        default:
            return false;
    }
    if (fileList_->count() > 0) {
        const int current = fileList_->currentIndex();
        const int next = current < 0 ? 0 : std::clamp(current + step, 0, fileList_->count() - 1);
        if (next != current) {
            fileList_->setCurrentIndex(next);  // shown, not picked: no activated signal
        }
    }
    return true;
}

}  // namespace dravolin
