#include "ui/transfer_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "core/settings_file.h"
#include "exchange/batch_transfer.h"
#include "exchange/exchange.h"
#include "exchange/exchange_records.h"
#include "exchange/state_folder.h"
#include "exchange/transfer_progress.h"
#include "protocol/escaped_name.h"
#include "protocol/path_text.h"
#include "protocol/safe_file_name.h"
#include "serial/serial_port.h"
#include "ui/client_area.h"
#include "ui/dialog_units.h"
#include "ui/file_dialog_options.h"
#include "ui/keyboard_focus.h"
#include "ui/port_settings_dialog.h"
#include "ui/qt_user_prompts.h"
#include "ui/resources.h"
#include "ui/system_menu.h"
#include "ui/transfer_log_window.h"
#include "ui/user_prompts.h"
#include "ui/warning_box_presenter.h"
#include "ui/window_layout.h"

namespace dravolin {

namespace {

constexpr int kClientWidthUnits = 342;
constexpr int kClientHeightUnits = 209;

// A path from a file dialog as the programs keep paths: UTF-8, with the system's own
// separators (Qt gives '/' on Windows too).
std::string pathText(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

QComboBox* newListBox(int id, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::number(id));
    return box;
}

QGroupBox* newGroupBox(int id, const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::number(id));
    return box;
}

QAction* newCommand(int id, const QString& label, QMenu* menu) {
    QAction* action = menu->addAction(label);
    action->setObjectName(QString::number(id));
    return action;
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

TransferDialog::TransferDialog(PortMap portMap, std::unique_ptr<UserPrompts> prompts,
                               QWidget* parent, Language language)
    : QDialog(parent),
      prompts_(prompts ? std::move(prompts) : std::make_unique<QtUserPrompts>()),
      commandLinePorts_(portMap),
      catalog_(language),
      language_(static_cast<int>(language)) {
    loadResources();
    setWindowTitle(QStringLiteral("Dravolin"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());

    buildMenuBar();
    buildControls();

    warningPresenter_ = std::make_unique<WarningBoxPresenter>(this);
    serialPort_ = std::make_unique<SerialPort>(*warningPresenter_, portMap);
    settingsDialog_ = std::make_unique<PortSettingsDialog>(portMap, this);
    PortSettings& settings = settingsDialog_->settings();
    settings = PortSettings{};
    if (language_ == 0 || language_ == 1) {
        settings.language = language_;
    }
    exchange_ = std::make_unique<Exchange>(*this, *serialPort_, settings);
    batch_ = std::make_unique<BatchTransfer>(*exchange_, *this);
    records_ = std::make_unique<ExchangeRecords>(
        *exchange_, "dravolin", TransferLog::defaultPath(),
        [this](const FilledText& warning) { warnAboutRecords(warning); });
    traceFile_ = textOfPath(pathFromText(stateFolder()) / "trace.log");
    settingsDialog_->enableSearch(*warningPresenter_, [this] { return records_->observers(); });

    initialiseControls();
    connectCommands();
    setInitialSize();
}

TransferDialog::~TransferDialog() = default;

void TransferDialog::useSettingsFile(SettingsFile& file) {
    settingsFile_ = &file;
    const SavedSettings& saved = file.settings();
    PortSettings& settings = settingsDialog_->settings();
    const std::int32_t language = settings.language;
    settings = saved.line;
    settings.language = language;
    savedPorts_ = saved.portDevices;
    folders_ = saved.folders;
    applyPortMap();
}

void TransferDialog::applyPortMap() {
    // The operator's saved choices, with the command line's for this run on top.
    PortMap map;
    for (const auto& [port, device] : savedPorts_) {
        map.map(port, device);
    }
    for (const auto& [port, device] : commandLinePorts_.mappings()) {
        map.map(port, device);
    }
    serialPort_->setPortMap(map);
    settingsDialog_->setPortMap(map);
}

void TransferDialog::rememberFolder(const std::string& dialog, const QString& chosenPath) {
    const std::string folder = pathText(QFileInfo(chosenPath).absolutePath());
    folders_[dialog] = folder;
    if (settingsFile_ != nullptr && !settingsFile_->saveFolder(dialog, folder)) {
        std::fprintf(stderr, "dravolin: %s\n", settingsFile_->saveError().c_str());
    }
}

QString TransferDialog::text(TextId id) const {
    return QString::fromStdString(catalog_.lookup(id));
}

void TransferDialog::buildMenuBar() {
    // Template labels; initialisation puts the catalogue's texts in their place.
    menuBar_ = new QMenuBar(this);
    auto german = [](TextId id) {
        const std::string_view label = MessageCatalog::text(id, Language::German);
        return QString::fromUtf8(label.data(), qsizetype(label.size()));
    };
    const TextId titles[] = {TextId::MenuDataExchange, TextId::MenuConfiguration, TextId::MenuHelp};
    for (int position = 0; position < 3; ++position) {
        menus_[position] = menuBar_->addMenu(german(titles[position]));
        menus_[position]->setObjectName(QStringLiteral("menu%1").arg(position));
    }
    startAction_ = newCommand(40006, german(TextId::StartItem), menus_[0]);
    startAction_->setShortcut(QKeySequence(Qt::Key_F5));
    backupAction_ = menus_[0]->addAction(german(TextId::BackupItem));
    backupAction_->setObjectName(QStringLiteral("backup"));
    menus_[0]->addSeparator();
    quitAction_ = newCommand(40004, german(TextId::QuitItem), menus_[0]);
    quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    configureAction_ = newCommand(40005, german(TextId::ConfigureItem), menus_[1]);
    helpAction_ = newCommand(57670, german(TextId::HelpItem), menus_[2]);
    helpAction_->setShortcut(QKeySequence(Qt::Key_F1));
    infoAction_ = newCommand(40007, german(TextId::InfoItem), menus_[2]);
    menus_[2]->addSeparator();
    transferLogAction_ = menus_[2]->addAction(german(TextId::TransferLogItem));
    transferLogAction_->setObjectName(QStringLiteral("transferLog"));
    traceAction_ = menus_[2]->addAction(german(TextId::TraceItem));
    traceAction_->setObjectName(QStringLiteral("trace"));
    traceAction_->setCheckable(true);
    // The shortcuts belong to the window itself, so that they reach it from any control.
    addActions({startAction_, helpAction_, quitAction_});
}

void TransferDialog::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);

    client_ = new ClientArea(this);
    client_->setPicture(kPicturePath);
    layout->addWidget(client_);

    functionGroup_ = newGroupBox(1000, QStringLiteral("Funktion auswählen"), client_);
    // The function list offers its two entries and nothing else: typed text could only
    // become a choice that starts nothing. Its prompt shows while no entry is chosen.
    functionList_ = newListBox(1009, client_);
    functionList_->addItems({QStringLiteral("Daten empfangen"), QStringLiteral("Daten senden")});
    fileGroup_ = newGroupBox(1001, QStringLiteral("Datei auswählen"), client_);
    // The file list's field may show a prompt or a name typed in; what the operator types
    // never becomes an entry.
    fileList_ = newListBox(1010, client_);
    fileList_->setEditable(true);
    fileList_->setInsertPolicy(QComboBox::NoInsert);
    // The arrow keys and the wheel on the closed file list only move through the names;
    // Enter on a name (or a click in the dropped-down list) picks it.
    fileList_->installEventFilter(this);
    fileList_->lineEdit()->installEventFilter(this);
    statusLine_ = new QLabel(client_);
    statusLine_->setObjectName(QStringLiteral("1159"));
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusLine_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The status line covers the lower edge of the picture.
    statusLine_->setAutoFillBackground(true);

    progressBar_ = new QProgressBar(client_);
    progressBar_->setObjectName(QStringLiteral("progress"));
    progressBar_->setTextVisible(true);
    progressBar_->setAlignment(Qt::AlignCenter);
    progressBar_->hide();
    cancelButton_ = new QPushButton(client_);
    cancelButton_->setObjectName(QStringLiteral("cancel"));
    // Never the dialog's default button, and never holding the focus: Enter must not cancel
    // by accident. Escape is the keyboard's way to cancel.
    cancelButton_->setAutoDefault(false);
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    cancelButton_->hide();

    connect(client_, &ClientArea::resized, this, &TransferDialog::placeControls);
}

void TransferDialog::connectCommands() {
    connect(startAction_, &QAction::triggered, this, &TransferDialog::startExchange);
    connect(backupAction_, &QAction::triggered, this, &TransferDialog::backUpAll);
    connect(quitAction_, &QAction::triggered, this, &TransferDialog::accept);
    // Opened without a loop of its own: the search in it runs exchanges on the window's loop.
    connect(configureAction_, &QAction::triggered, settingsDialog_.get(), &QDialog::open);
    connect(settingsDialog_.get(), &QDialog::accepted, this, &TransferDialog::takePortSettings);
    connect(settingsDialog_.get(), &QDialog::finished, this, [this] { giveKeyboardBack(this); });
    connect(helpAction_, &QAction::triggered, this, &TransferDialog::helpRequested);
    connect(infoAction_, &QAction::triggered, this, &TransferDialog::aboutRequested);
    connect(transferLogAction_, &QAction::triggered, this, &TransferDialog::showTransferLog);
    connect(traceAction_, &QAction::toggled, this, &TransferDialog::switchTrace);
    // Only the operator's own picks count; filling and resetting the lists does not.
    connect(functionList_, &QComboBox::activated, this, &TransferDialog::chooseFunction);
    connect(fileList_, &QComboBox::activated, this, &TransferDialog::chooseListedFile);
    connect(cancelButton_, &QPushButton::clicked, this, &TransferDialog::cancelExchange);
}

void TransferDialog::initialiseControls() {
    functionList_->clear();
    functionList_->addItem(text(TextId::ReceiveEntry));
    functionList_->addItem(text(TextId::SendEntry));
    functionList_->setPlaceholderText(text(TextId::SelectFunction));
    resetFunctionChoice();

    fileGroup_->setTitle(text(TextId::SelectFile));
    cancelButton_->setText(text(TextId::CancelButton));
    relabelMenus();

    fileList_->hide();
    fileGroup_->hide();
    setStatusText(TextId::StatusStartUp);
    functionGroup_->setTitle(text(TextId::SelectFunction));
}

void TransferDialog::relabelMenus() {
    menus_[0]->setTitle(text(TextId::MenuDataExchange));
    backupAction_->setText(text(TextId::BackupItem));
    quitAction_->setText(text(TextId::QuitItem));
    menus_[1]->setTitle(text(TextId::MenuConfiguration));
    configureAction_->setText(text(TextId::ConfigureItem));
    menus_[2]->setTitle(text(TextId::MenuHelp));
    helpAction_->setText(text(TextId::HelpItem));
    infoAction_->setText(text(TextId::InfoItem));
    transferLogAction_->setText(text(TextId::TransferLogItem));
    traceAction_->setText(traceItemText());
    setStartItem(false);
}

TextRoom TransferDialog::textRoom() const {
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

void TransferDialog::setInitialSize() {
    const int menuHeight = menuBar_->sizeHint().height();
    const QSize smallest = WindowLayout::minimumClientSize(textRoom());
    setMinimumSize(smallest.width(), smallest.height() + menuHeight);
    // The size the layout was drawn for, unless the texts of this language need more.
    const QSize client = DialogUnits(fontMetrics())
                             .toPixels(QSize(kClientWidthUnits, kClientHeightUnits))
                             .expandedTo(smallest);
    resize(client.width(), client.height() + menuHeight);
    placeControls(client);
}

void TransferDialog::placeControls(QSize clientSize) {
    const WindowLayout layout = WindowLayout::forClientSize(clientSize);
    statusPlace_ = layout.statusLine;
    placeStatusRow();
    functionGroup_->setGeometry(layout.functionGroup);
    placeComboBox(functionList_, layout.functionList);
    fileGroup_->setGeometry(layout.fileGroup);
    placeComboBox(fileList_, layout.fileList);
}

void TransferDialog::placeStatusRow() {
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
    showStatus();
}

void TransferDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownBefore_) {
        return;
    }
    shownBefore_ = true;
    addAboutToSystemMenu(*this, text(TextId::SystemMenuAbout));
    if (QScreen* display = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(display->availableGeometry().center());
        move(frame.topLeft());
    }
    functionList_->setFocus();
}

bool TransferDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (aboutChosenFromSystemMenu(eventType, message)) {
        emit aboutRequested();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

// ---- ExchangeView

void TransferDialog::setStatusText(TextId id) {
    statusId_ = id;
    statusArgument_.reset();
    statusLeading_.clear();
    showStatus();
}

void TransferDialog::setStatusTextWith(TextId id, const std::string& argument) {
    statusId_ = id;
    statusArgument_ = argument;
    statusLeading_.clear();
    showStatus();
}

void TransferDialog::setStatusFilled(const FilledText& filled) {
    if (filled.arguments.empty()) {
        setStatusText(filled.id);
        return;
    }
    statusId_ = filled.id;
    statusLeading_.assign(filled.arguments.begin(), filled.arguments.end() - 1);
    statusArgument_ = filled.arguments.back();
    showStatus();
}

void TransferDialog::showStatus() {
    QString shown = text(statusId_);
    QString whole;  // the argument, when it had to give way
    if (statusArgument_) {
        // The argument (a path above all) gives way, from its middle, so that the line fits
        // and the file's own name stays readable at its end; the tooltip has it whole.
        const QFontMetrics metrics = statusLine_->fontMetrics();
        std::vector<std::string> arguments = statusLeading_;
        arguments.emplace_back();
        const QString frame =
            QString::fromStdString(fillPlaceholders(shown.toStdString(), arguments));
        const int room = statusLine_->contentsRect().width() -
                         metrics.horizontalAdvance(QLatin1Char('x')) -
                         metrics.horizontalAdvance(frame);
        const QString full = QString::fromStdString(*statusArgument_);
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

void TransferDialog::showMessageBox(TextId id, MessageIcon icon, Closed closed) {
    prompts_->showMessage(this, windowTitle(), text(id), icon, std::move(closed));
}

void TransferDialog::showOutcomeBox(TextId id, const std::string& causeLine, Closed closed) {
    QString shown = text(id);
    if (!causeLine.empty()) {
        shown += QStringLiteral("\n") + QString::fromStdString(causeLine);
    }
    prompts_->showMessage(this, windowTitle(), shown, MessageIcon::Exclamation, std::move(closed));
}

void TransferDialog::chooseFile(const FileDialogRequest& request, FileAnswer answer) {
    // Each dialog opens where the operator last found or put a file with it.
    const std::string dialog = request.mode == FileDialogRequest::Mode::Save
                                   ? SettingsFile::kReceiveDialog
                                   : SettingsFile::kSendDialog;
    FileDialogOptions options = FileDialogOptions::fromRequest(request, catalog_);
    options.directory = dialogFolder({dialog.c_str()});
    prompts_->chooseFile(this, options,
                         [this, dialog, answer = std::move(answer)](std::optional<QString> path) {
                             if (!path) {
                                 answer(std::nullopt);
                                 return;
                             }
                             rememberFolder(dialog, *path);
                             answer(pathText(*path));
                         });
}

void TransferDialog::clearFileList(TextId fieldText) {
    fileList_->clear();
    filePrompt_ = text(fieldText);
    fileList_->setEditText(filePrompt_);
}

void TransferDialog::appendFileListEntry(const std::string& name) {
    fileList_->addItem(QString::fromStdString(escapedName(trimmedDeviceName(name))));
    // The first entry becomes the current one by itself; the field must keep its prompt
    // with nothing selected, and without telling anyone of a pick.
    if (fileList_->currentIndex() != -1) {
        fileList_->setCurrentIndex(-1);
    }
    fileList_->setEditText(filePrompt_);
}

void TransferDialog::showFileList(int mode) {
    const bool visible = mode == 1;
    fileList_->setVisible(visible);
    fileGroup_->setVisible(visible);
    fileList_->setEnabled(visible);
    fileGroup_->setEnabled(visible);
    // The listed names are what the operator chooses next.
    if (visible) {
        fileList_->setFocus();
    }
}

void TransferDialog::grayMainMenus() {
    for (QMenu* menu : menus_) {
        menu->menuAction()->setEnabled(false);
    }
    redrawMenuBar();
}

void TransferDialog::enableMainMenus() {
    for (QMenu* menu : menus_) {
        menu->menuAction()->setEnabled(true);
    }
    redrawMenuBar();
}

void TransferDialog::disableFunctionChoice() {
    functionList_->setEnabled(false);
    functionGroup_->setEnabled(false);
}

void TransferDialog::enableFunctionChoice() {
    functionList_->setEnabled(true);
    functionGroup_->setEnabled(true);
    // The keyboard comes back to where the next exchange begins.
    functionList_->setFocus();
}

void TransferDialog::setStartItem(bool enabled) {
    startAction_->setText(text(TextId::StartItem));
    startAction_->setEnabled(enabled);
    redrawMenuBar();
}

void TransferDialog::redrawMenuBar() {
    menuBar_->update();
}

void TransferDialog::resetFunctionChoice() {
    // No entry is current while the prompt shows: the first Down chooses the first entry.
    functionList_->setCurrentIndex(-1);
}

void TransferDialog::showProgress(const TransferProgress& progress) {
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

void TransferDialog::hideProgress() {
    if (!progressBar_->isHidden()) {
        progressBar_->hide();
        placeStatusRow();
    }
}

void TransferDialog::setCancelAvailable(bool available) {
    if (cancelButton_->isHidden() == available) {
        cancelButton_->setVisible(available);
        placeStatusRow();
    }
    // Nothing is left to cancel: the exchange has come to its outcome.
    if (!available && quitQuestionOpen_) {
        withdrawQuestionAndQuit();
    }
}

void TransferDialog::exchangeIdle() {
    quitIfAsked();
}

void TransferDialog::chooseFiles(const FileDialogRequest& request, FilesAnswer answer) {
    FileDialogOptions options = FileDialogOptions::fromRequest(request, catalog_);
    options.directory = dialogFolder({SettingsFile::kSendDialog});
    prompts_->chooseFiles(this, options, [this, answer = std::move(answer)](QStringList paths) {
        std::vector<std::string> chosen;
        for (const QString& path : paths) {
            chosen.push_back(pathText(path));
        }
        if (!paths.isEmpty()) {
            rememberFolder(SettingsFile::kSendDialog, paths.front());
        }
        answer(std::move(chosen));
    });
}

QString TransferDialog::dialogFolder(std::initializer_list<const char*> dialogs) const {
    for (const char* dialog : dialogs) {
        if (const auto folder = folders_.find(dialog); folder != folders_.end()) {
            return QString::fromStdString(folder->second);
        }
    }
    return SettingsFile::firstDialogFolder();
}

void TransferDialog::chooseFolder(TextId title, FileAnswer answer) {
    // A backup opens where the last one went; the first one where received files were put.
    const QString directory =
        dialogFolder({SettingsFile::kBackupDialog, SettingsFile::kReceiveDialog});
    prompts_->chooseFolder(this, text(title), directory,
                           [this, answer = std::move(answer)](std::optional<QString> chosen) {
                               if (!chosen) {
                                   answer(std::nullopt);
                                   return;
                               }
                               // Remembered as the folder itself, apart from the receive dialog's:
                               // the next backup opens there, also after a restart, and a single
                               // receive keeps its own folder.
                               rememberFolder(SettingsFile::kBackupDialog,
                                              QDir(*chosen).filePath(QStringLiteral("x")));
                               answer(pathText(*chosen));
                           });
}

void TransferDialog::askAboutExistingFiles(const FilledText& question, ExistingFilesReply reply) {
    const QString shown = QString::fromStdString(catalog_.lookup(question));
    prompts_->askChoice(this, windowTitle(), shown,
                        {text(TextId::ReplaceAllButton), text(TextId::KeepExistingButton),
                         text(TextId::CancelButton)},
                        [reply = std::move(reply)](int answer) {
                            switch (answer) {
                                case 0:
                                    reply(ExistingFilesAnswer::ReplaceAll);
                                    return;
                                case 1:
                                    reply(ExistingFilesAnswer::KeepExisting);
                                    return;
                                default:
                                    reply(ExistingFilesAnswer::Cancel);
                                    return;
                            }
                        });
}

void TransferDialog::showRunSummary(const FilledText& heading, const std::vector<FilledText>& lines,
                                    MessageIcon icon) {
    QString shown =
        QString::fromStdString(catalog_.lookup(heading)).trimmed() + QStringLiteral("\n");
    for (const FilledText& line : lines) {
        shown += QStringLiteral("\n") + QString::fromStdString(catalog_.lookup(line));
    }
    prompts_->showMessage(this, windowTitle(), shown, icon);
}

// ---- Commands

int TransferDialog::selectedFunction() const {
    return functionList_->currentIndex();
}

void TransferDialog::startExchange() {
    // A send may take several files; the run sends one alone as a single send.
    if (selectedFunction() == Exchange::kSendFunction) {
        batch_->sendChosenFiles();
    } else {
        exchange_->startExchange(selectedFunction());
    }
}

void TransferDialog::backUpAll() {
    batch_->backUpAll();
}

void TransferDialog::chooseFunction() {
    setStatusText(TextId::StatusFunctionChosen);
    switch (functionList_->currentIndex()) {
        case 0:
            showFileList(0);
            setStartItem(true);
            break;
        case 1:
            showFileList(2);
            setStartItem(true);
            break;
        default:
            setStartItem(false);
            break;
    }
    redrawMenuBar();
}

void TransferDialog::chooseListedFile(int index) {
    // Once a name is picked the list means nothing until the next listing.
    if (exchange_->awaitingFileChoice()) {
        fileList_->setEnabled(false);
        fileGroup_->setEnabled(false);
    }
    exchange_->chooseListedFile(index);
}

void TransferDialog::cancelExchange() {
    exchange_->cancel();
}

void TransferDialog::takePortSettings() {
    // A device the operator chose in the dialog replaces one given on the command line.
    const PortMap& chosen = settingsDialog_->portMap();
    for (const int port : settingsDialog_->changedPorts()) {
        const auto mapped = chosen.mappings().find(port);
        if (mapped != chosen.mappings().end()) {
            savedPorts_[port] = mapped->second;
        } else {
            savedPorts_.erase(port);
        }
        commandLinePorts_.unmap(port);
    }
    applyPortMap();
    if (settingsFile_ != nullptr &&
        !settingsFile_->saveConfirmed(settingsDialog_->settings(), savedPorts_)) {
        std::fprintf(stderr, "dravolin: %s\n", settingsFile_->saveError().c_str());
    }
}

// ---- Ending

void TransferDialog::done(int result) {
    if (exchange_->busy()) {
        return;
    }
    QDialog::done(result);
}

void TransferDialog::closeEvent(QCloseEvent* event) {
    if (!exchange_->busy()) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    if (!exchange_->cancellable()) {
        // The outcome is on screen: the exchange is over, so the window goes without a
        // question, as soon as the outcome is (at once during the pause).
        quitAsked_ = true;
        exchange_->abandon();
        return;
    }
    // During a wait the operator may cancel and quit, once asked; the transfer goes on
    // while the question is up.
    if (quitAsked_ || quitQuestionOpen_) {
        return;
    }
    quitQuestionOpen_ = true;
    withdrawQuitQuestion_ = prompts_->askYesNo(
        this, windowTitle(), text(TextId::CancelAndQuitQuestion), [this](bool yes) {
            quitQuestionOpen_ = false;
            if (!yes) {
                return;
            }
            quitAsked_ = true;
            // The window goes once the exchange has ended (exchangeIdle), at
            // once when it has ended meanwhile.
            exchange_->abandon();
            quitIfAsked();
        });
}

void TransferDialog::withdrawQuestionAndQuit() {
    // The operator asked to quit, and the transfer has ended: nothing is lost any more, so
    // the question goes and so does the window, as after a close request during the outcome.
    quitQuestionOpen_ = false;
    if (const UserPrompts::Withdraw withdraw = std::exchange(withdrawQuitQuestion_, {})) {
        withdraw();
    }
    quitAsked_ = true;
    exchange_->abandon();
}

void TransferDialog::quitIfAsked() {
    if (quitAsked_ && !exchange_->busy()) {
        quitAsked_ = false;  // done: a window shown again asks afresh
        QDialog::done(QDialog::Rejected);
    }
}

bool TransferDialog::focusInFunctionField() const {
    const QWidget* focus = focusWidget();
    return focus != nullptr && (focus == functionList_ || functionList_->isAncestorOf(focus));
}

void TransferDialog::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                // Enter never ends the program. In the function field it starts the chosen
                // function, as F5 does; in the file list the list itself takes the name.
                if (focusInFunctionField() && startAction_->isEnabled()) {
                    startExchange();
                }
                return;
            case Qt::Key_Escape:
                // Escape cancels a transfer and never ends the program: pressed once more
                // after a cancel it would otherwise quit without a question.
                if (exchange_->cancellable()) {
                    cancelExchange();
                }
                return;
            default:
                break;
        }
    }
    QDialog::keyPressEvent(event);
}

bool TransferDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == fileList_ || watched == fileList_->lineEdit()) &&
        !fileList_->view()->isVisible()) {
        if (event->type() == QEvent::Wheel) {
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            return stepThroughFileList(static_cast<const QKeyEvent&>(*event));
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TransferDialog::stepThroughFileList(const QKeyEvent& key) {
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
                chooseListedFile(shown);
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

bool TransferDialog::useTrace(const std::string& file, std::string& error) {
    if (!records_->startTrace(file, error)) {
        return false;
    }
    traceFile_ = file;
    const QSignalBlocker quiet(traceAction_);
    traceAction_->setChecked(true);
    traceAction_->setText(traceItemText());
    return true;
}

QString TransferDialog::traceItemText() const {
    if (traceFile_.empty()) {
        return QString::fromStdString(catalog_.lookup(
            FilledText{TextId::TraceItem, {catalog_.lookup(TextId::TraceToStandardError)}}));
    }
    // The file in the short form operators know from the shell.
    QString shown = QString::fromStdString(traceFile_);
    const QString home = QDir::homePath();
    if (shown.startsWith(home + QLatin1Char('/'))) {
        shown.replace(0, home.size(), QStringLiteral("~"));
    }
    // A '&' in the path would otherwise be taken for the item's shortcut.
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QString::fromStdString(catalog_.lookup(TextId::TraceItem))
        .replace(QStringLiteral("%1"), shown);
}

void TransferDialog::switchTrace(bool on) {
    if (!on) {
        records_->stopTrace();
        return;
    }
    std::string error;
    const std::size_t slash = traceFile_.rfind('/');
    const bool folderReady = traceFile_.empty() || slash == std::string::npos || slash == 0 ||
                             makeFolderPath(traceFile_.substr(0, slash), error);
    if (folderReady && records_->startTrace(traceFile_, error)) {
        return;
    }
    const QSignalBlocker quiet(traceAction_);
    traceAction_->setChecked(false);
    prompts_->showMessage(this, windowTitle(),
                          QString::fromStdString(catalog_.lookup(
                              FilledText{TextId::TraceCannotOpen, {traceFile_, error}})),
                          MessageIcon::Exclamation);
}

void TransferDialog::showTransferLog() {
    if (!transferLogWindow_) {
        transferLogWindow_ =
            new TransferLogWindow(records_->transferLog().path(), catalog_.language(), this);
        transferLogWindow_->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        transferLogWindow_->reload();
    }
    transferLogWindow_->show();
    transferLogWindow_->raise();
    transferLogWindow_->activateWindow();
}

void TransferDialog::warnAboutRecords(const FilledText& warning) {
    prompts_->showMessage(this, windowTitle(), QString::fromStdString(catalog_.lookup(warning)),
                          MessageIcon::Exclamation);
}

}  // namespace dravolin
