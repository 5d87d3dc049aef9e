#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/exchange_view.h"
#include "serial/port_map.h"
#include "ui/user_prompts.h"

class QKeyEvent;

namespace dravolin {

class BatchTransfer;
class Exchange;
class ExchangePanel;
class ExchangeRecords;
class PortSettingsDialog;
class SerialPort;
class SettingsFile;
class WarningBoxPresenter;
class WindowCommands;
class WindowRecords;
class WindowSettings;

// The program's main window: the function choice, the file list of a receive, the status
// line and the picture, under a menu bar. It shows everything the exchange has to show
// (ExchangeView) and owns the serial port, the settings dialog and the exchange itself.
// What it shows of an exchange is the ExchangePanel's, its menus and keys are the
// WindowCommands', what it remembers is the WindowSettings' and its records the
// WindowRecords'; the window turns what the operator does into calls on the exchange.
//
// Controls, menus and menu items are named after what they are (functionList, fileGroup,
// statusLine, progress, cancel; dataExchangeMenu, helpMenu; start, backup, quit, configure,
// help, info, transferLog, trace), so that tests and tools find them by those names.
class TransferDialog : public QDialog, public ExchangeView {
    Q_OBJECT

public:
    // `prompts` answers message boxes and file dialogs; by default Qt's own dialogs.
    // `portMap` holds the devices given on the command line: for this run only.
    // `language` chooses the catalogue's column for every text the window shows.
    explicit TransferDialog(PortMap portMap = {}, std::unique_ptr<UserPrompts> prompts = nullptr,
                            QWidget* parent = nullptr, Language language = Language::English);
    ~TransferDialog() override;

    // Takes the port settings, Com devices and folders saved at an earlier run, and saves
    // there what the operator confirms from now on. Without it nothing is remembered.
    void useSettingsFile(SettingsFile& file);

    // Traces every exchange to `file` (appending), or to standard error when it is empty,
    // as --trace asks; the trace item then names it. False with the reason when the file
    // cannot be opened.
    bool useTrace(const std::string& file, std::string& error);

    // ExchangeView
    void showState(const ExchangeState& state) override;
    void showProgress(const std::optional<TransferProgress>& progress) override;
    void showBox(const ExchangeBox& box, Closed closed) override;
    void chooseFile(const FileDialogRequest& request, FilesAnswer answer) override;
    void chooseFolder(TextId title, FileAnswer answer) override;
    void askAboutExistingFiles(const FilledText& question, ExistingFilesReply reply) override;

    Exchange& exchange() { return *exchange_; }
    WarningBoxPresenter& warningPresenter() { return *warningPresenter_; }
    ExchangeRecords& records();

    // Ends the modal run unless an exchange runs: that ends through Cancel (or the close
    // box, which asks first).
    void done(int result) override;

signals:
    void aboutRequested();
    void helpRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The about item of the system menu (Windows), in every state of the window.
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString text(TextId id) const;
    void connectCommands();
    void setInitialSize();

    void startExchange();
    void chooseFunction();
    void switchTrace(bool on);
    void quitIfAsked();
    // The exchange has come to its outcome while the question "cancel and quit" is up.
    void withdrawQuestionAndQuit();

    std::unique_ptr<UserPrompts> prompts_;
    MessageCatalog catalog_;
    int language_ = 1;
    bool shownBefore_ = false;
    ExchangeState::Stage stage_ = ExchangeState::Stage::Idle;  // as the exchange last showed it
    // The operator answered yes to "cancel and quit": the window ends once the exchange has.
    bool quitAsked_ = false;
    // The question "cancel and quit" is up: a second close request asks nothing more.
    bool quitQuestionOpen_ = false;
    UserPrompts::Withdraw withdrawQuitQuestion_;

    WindowCommands* commands_ = nullptr;
    ExchangePanel* panel_ = nullptr;

    // Destroyed in reverse order: the exchange before the settings and the port it uses,
    // the port before the presenter of its warnings.
    std::unique_ptr<WarningBoxPresenter> warningPresenter_;
    std::unique_ptr<SerialPort> serialPort_;
    std::unique_ptr<PortSettingsDialog> settingsDialog_;
    std::unique_ptr<WindowSettings> settings_;
    std::unique_ptr<Exchange> exchange_;
    std::unique_ptr<BatchTransfer> batch_;
    std::unique_ptr<WindowRecords> records_;  // leaves the exchange before it goes
};

}  // namespace dravolin
