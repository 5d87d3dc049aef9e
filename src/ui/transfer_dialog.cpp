#include "ui/transfer_dialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

#include <utility>

#include "core/settings_file.h"
#include "exchange/batch_transfer.h"
#include "exchange/exchange.h"
#include "exchange/exchange_records.h"
#include "serial/serial_port.h"
#include "ui/client_area.h"
#include "ui/dialog_units.h"
#include "ui/exchange_panel.h"
#include "ui/file_dialog_options.h"
#include "ui/keyboard_focus.h"
#include "ui/port_settings_dialog.h"
#include "ui/qt_user_prompts.h"
#include "ui/resources.h"
#include "ui/system_menu.h"
#include "ui/user_prompts.h"
#include "ui/warning_box_presenter.h"
#include "ui/window_commands.h"
#include "ui/window_layout.h"
#include "ui/window_records.h"
#include "ui/window_settings.h"

namespace dravolin {

namespace {

constexpr int kClientWidthUnits = 342;
constexpr int kClientHeightUnits = 209;

}  // namespace

TransferDialog::TransferDialog(PortMap portMap, std::unique_ptr<UserPrompts> prompts,
                               QWidget* parent, Language language)
    : QDialog(parent),
      prompts_(prompts ? std::move(prompts) : std::make_unique<QtUserPrompts>()),
      catalog_(language),
      language_(static_cast<int>(language)) {
    loadResources();
    setWindowTitle(QStringLiteral("Dravolin"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());

    commands_ = new WindowCommands(*this, catalog_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(commands_->menuBar());
    auto* client = new ClientArea(this);
    client->setPicture(kPicturePath);
    layout->addWidget(client);
    panel_ = new ExchangePanel(client, commands_->menuBar(), catalog_);

    warningPresenter_ = std::make_unique<WarningBoxPresenter>(this);
    serialPort_ = std::make_unique<SerialPort>(*warningPresenter_, portMap);
    settingsDialog_ = std::make_unique<PortSettingsDialog>(portMap, this);
    PortSettings& settings = settingsDialog_->settings();
    settings = PortSettings{};
    if (language_ == 0 || language_ == 1) {
        settings.language = language_;
    }
    settings_ = std::make_unique<WindowSettings>(portMap, *serialPort_, *settingsDialog_);
    exchange_ = std::make_unique<Exchange>(*this, *serialPort_, settings);
    batch_ = std::make_unique<BatchTransfer>(*exchange_, *this);
    records_ = std::make_unique<WindowRecords>(*this, *exchange_, catalog_, *prompts_);
    settingsDialog_->enableSearch(
        *warningPresenter_, [this] { return records_->records().tryObservers(); },
        [this](const ExchangeRecord& record) { records_->records().keep(record); });

    panel_->initialise();
    commands_->relabel(records_->traceItemText());
    connectCommands();
    setInitialSize();
}

TransferDialog::~TransferDialog() {
    // A search still running is kept in the log, which goes before the dialog does.
    settingsDialog_->endSearch();
}

void TransferDialog::useSettingsFile(SettingsFile& file) {
    settings_->use(file);
}

bool TransferDialog::useTrace(const std::string& file, std::string& error) {
    if (!records_->useTrace(file, error)) {
        return false;
    }
    commands_->showTrace(true, records_->traceItemText());
    return true;
}

ExchangeRecords& TransferDialog::records() {
    return records_->records();
}

QString TransferDialog::text(TextId id) const {
    return QString::fromStdString(catalog_.lookup(id));
}

void TransferDialog::connectCommands() {
    connect(commands_, &WindowCommands::startRequested, this, &TransferDialog::startExchange);
    connect(commands_, &WindowCommands::backupRequested, this, [this] { batch_->backUpAll(); });
    connect(commands_, &WindowCommands::quitRequested, this, &TransferDialog::accept);
    // Opened without a loop of its own: the search in it runs exchanges on the window's loop.
    connect(commands_, &WindowCommands::configureRequested, settingsDialog_.get(), &QDialog::open);
    connect(settingsDialog_.get(), &QDialog::accepted, this,
            [this] { settings_->takePortSettings(); });
    connect(settingsDialog_.get(), &QDialog::finished, this, [this] { giveKeyboardBack(this); });
    connect(commands_, &WindowCommands::helpRequested, this, &TransferDialog::helpRequested);
    connect(commands_, &WindowCommands::aboutRequested, this, &TransferDialog::aboutRequested);
    connect(commands_, &WindowCommands::transferLogRequested, this,
            [this] { records_->showTransferLog(); });
    connect(commands_, &WindowCommands::traceSwitched, this, &TransferDialog::switchTrace);
    connect(commands_, &WindowCommands::cancelRequested, this, [this] { exchange_->cancel(); });
    connect(panel_, &ExchangePanel::functionChosen, this, &TransferDialog::chooseFunction);
    connect(panel_, &ExchangePanel::listedFileChosen, this,
            [this](int index) { exchange_->chooseListedFile(index); });
    connect(panel_, &ExchangePanel::cancelClicked, this, [this] { exchange_->cancel(); });
}

void TransferDialog::setInitialSize() {
    const int menuHeight = commands_->menuBar()->sizeHint().height();
    const QSize smallest = WindowLayout::minimumClientSize(panel_->textRoom());
    setMinimumSize(smallest.width(), smallest.height() + menuHeight);
    // The size the layout was drawn for, unless the texts of this language need more.
    const QSize client = DialogUnits(fontMetrics())
                             .toPixels(QSize(kClientWidthUnits, kClientHeightUnits))
                             .expandedTo(smallest);
    resize(client.width(), client.height() + menuHeight);
    panel_->placeControls(client);
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
    panel_->focusFunctionChoice();
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

void TransferDialog::showState(const ExchangeState& state) {
    using Stage = ExchangeState::Stage;
    const Stage was = std::exchange(stage_, state.stage);
    panel_->showState(state);
    if (state.stage != was && (state.stage == Stage::Idle || was == Stage::Idle)) {
        commands_->setMenusEnabled(state.stage == Stage::Idle);
    }
    if (state.stage != was && state.stage == Stage::Outcome) {
        commands_->setStartItem(false);
    }
    // Nothing is left to cancel: the exchange has come to its outcome.
    if (!state.cancelAvailable && quitQuestionOpen_) {
        withdrawQuestionAndQuit();
    }
    if (state.stage == Stage::Idle) {
        quitIfAsked();
    }
}

void TransferDialog::showProgress(const std::optional<TransferProgress>& progress) {
    panel_->showProgress(progress);
}

void TransferDialog::showBox(const ExchangeBox& box, Closed closed) {
    QString shown = QString::fromStdString(catalog_.lookup(box.text));
    if (box.kind == ExchangeBox::Kind::Summary) {
        shown = shown.trimmed() + QStringLiteral("\n");
    }
    for (const std::string& line : box.lines) {
        shown += QStringLiteral("\n") + QString::fromStdString(line);
    }
    prompts_->showMessage(this, windowTitle(), shown, box.icon, std::move(closed));
}

void TransferDialog::chooseFile(const FileDialogRequest& request, FilesAnswer answer) {
    // Each dialog opens where the operator last found or put a file with it.
    const std::string dialog = request.mode == FileDialogRequest::Mode::Save
                                   ? SettingsFile::kReceiveDialog
                                   : SettingsFile::kSendDialog;
    FileDialogOptions options = FileDialogOptions::fromRequest(request, catalog_);
    options.directory = settings_->dialogFolder({dialog.c_str()});
    auto chosen = [this, dialog, answer = std::move(answer)](const QStringList& paths) {
        std::vector<std::string> texts;
        for (const QString& path : paths) {
            texts.push_back(nativePathText(path));
        }
        if (!paths.isEmpty()) {
            settings_->rememberFolder(dialog, paths.front());
        }
        answer(std::move(texts));
    };
    if (request.mode == FileDialogRequest::Mode::OpenSeveral) {
        prompts_->chooseFiles(this, options, std::move(chosen));
        return;
    }
    prompts_->chooseFile(this, options,
                         [chosen = std::move(chosen)](const std::optional<QString>& path) {
                             chosen(path ? QStringList{*path} : QStringList{});
                         });
}

void TransferDialog::chooseFolder(TextId title, FileAnswer answer) {
    // A backup opens where the last one went; the first one where received files were put.
    const QString directory =
        settings_->dialogFolder({SettingsFile::kBackupDialog, SettingsFile::kReceiveDialog});
    prompts_->chooseFolder(this, text(title), directory,
                           [this, answer = std::move(answer)](std::optional<QString> chosen) {
                               if (!chosen) {
                                   answer(std::nullopt);
                                   return;
                               }
                               // Remembered as the folder itself, apart from the receive dialog's:
                               // the next backup opens there, also after a restart, and a single
                               // receive keeps its own folder.
                               settings_->rememberFolder(
                                   SettingsFile::kBackupDialog,
                                   QDir(*chosen).filePath(QStringLiteral("x")));
                               answer(nativePathText(*chosen));
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

// ---- Commands

void TransferDialog::startExchange() {
    // A send may take several files; the run sends one alone as a single send.
    const int function = panel_->selectedFunction();
    if (function == Exchange::kSendFunction) {
        batch_->sendChosenFiles();
    } else {
        exchange_->startExchange(function);
    }
}

void TransferDialog::chooseFunction() {
    panel_->showStatus(FilledText{TextId::StatusFunctionChosen, {}});
    const int function = panel_->selectedFunction();
    commands_->setStartItem(function == Exchange::kReceiveFunction ||
                            function == Exchange::kSendFunction);
}

void TransferDialog::switchTrace(bool on) {
    if (!records_->switchTrace(on)) {
        commands_->showTrace(false, records_->traceItemText());
    }
}

void TransferDialog::keyPressEvent(QKeyEvent* event) {
    if (!commands_->takeKey(*event, panel_->focusInFunctionField(), exchange_->cancellable())) {
        QDialog::keyPressEvent(event);
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
            // The window goes once the exchange has ended (its idle state), at
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

}  // namespace dravolin
