#pragma once

#include <QDialog>
#include <QPointer>

#include <array>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/exchange_view.h"
#include "serial/port_map.h"
#include "ui/user_prompts.h"
#include "ui/window_layout.h"

class QAction;
class QComboBox;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;

namespace dravolin {

class BatchTransfer;
class ClientArea;
class Exchange;
class ExchangeRecords;
class PortSettingsDialog;
class SerialPort;
class SettingsFile;
class TransferLogWindow;
class WarningBoxPresenter;

// The program's main window: the function choice, the file list of a receive, the status
// line and the picture, under a menu bar. It shows everything the exchange has to show
// (ExchangeView) and owns the serial port, the settings dialog and the exchange itself.
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
    void setStatusText(TextId id) override;
    void setStatusTextWith(TextId id, const std::string& argument) override;
    void showMessageBox(TextId id, MessageIcon icon, Closed closed) override;
    void showOutcomeBox(TextId id, const std::string& causeLine, Closed closed) override;
    void chooseFile(const FileDialogRequest& request, FileAnswer answer) override;
    void clearFileList(TextId fieldText) override;
    void appendFileListEntry(const std::string& name) override;
    void showFileList(int mode) override;
    void grayMainMenus() override;
    void enableMainMenus() override;
    void disableFunctionChoice() override;
    void enableFunctionChoice() override;
    void setStartItem(bool enabled) override;
    void redrawMenuBar() override;
    void resetFunctionChoice() override;
    void showProgress(const TransferProgress& progress) override;
    void hideProgress() override;
    void setCancelAvailable(bool available) override;
    void exchangeIdle() override;
    void chooseFiles(const FileDialogRequest& request, FilesAnswer answer) override;
    void chooseFolder(TextId title, FileAnswer answer) override;
    void askAboutExistingFiles(const FilledText& question, ExistingFilesReply reply) override;
    void showRunSummary(const FilledText& heading, const std::vector<FilledText>& lines,
                        MessageIcon icon) override;
    void setStatusFilled(const FilledText& text) override;

    // The function whose entry the field shows: 0 receive, 1 send; -1 while the prompt shows.
    int selectedFunction() const;

    Exchange& exchange() { return *exchange_; }
    WarningBoxPresenter& warningPresenter() { return *warningPresenter_; }
    ExchangeRecords& records() { return *records_; }

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString text(TextId id) const;
    void buildMenuBar();
    void buildControls();
    void connectCommands();
    void initialiseControls();
    void relabelMenus();
    TextRoom textRoom() const;
    void setInitialSize();
    void placeControls(QSize clientSize);
    void placeStatusRow();
    void showStatus();
    bool focusInFunctionField() const;
    bool stepThroughFileList(const QKeyEvent& key);

    void startExchange();
    void backUpAll();
    void chooseFunction();
    void chooseListedFile(int index);
    void cancelExchange();
    // The port settings dialog was confirmed.
    void takePortSettings();
    void applyPortMap();
    void rememberFolder(const std::string& dialog, const QString& chosenPath);
    // The folder remembered for the first of `dialogs` that has one, or where a dialog
    // opens the first time.
    QString dialogFolder(std::initializer_list<const char*> dialogs) const;
    void quitIfAsked();
    // The exchange has come to its outcome while the question "cancel and quit" is up.
    void withdrawQuestionAndQuit();
    void showTransferLog();
    void switchTrace(bool on);
    void warnAboutRecords(const FilledText& warning);
    QString traceItemText() const;

    std::unique_ptr<UserPrompts> prompts_;
    PortMap commandLinePorts_;                    // overrides for this run, never saved
    std::map<int, std::string> savedPorts_;       // the Com devices the operator chose
    std::map<std::string, std::string> folders_;  // file dialog -> folder last used
    SettingsFile* settingsFile_ = nullptr;
    MessageCatalog catalog_;
    int language_ = 1;
    QString filePrompt_;
    bool shownBefore_ = false;
    // The operator answered yes to "cancel and quit": the window ends once the exchange has.
    bool quitAsked_ = false;
    // The question "cancel and quit" is up: a second close request asks nothing more.
    bool quitQuestionOpen_ = false;
    UserPrompts::Withdraw withdrawQuitQuestion_;
    // What the status line shows; kept so that a path can be shortened anew on resizing.
    TextId statusId_ = TextId::StatusStartUp;
    std::optional<std::string> statusArgument_;  // the word that gives way when room is short
    std::vector<std::string> statusLeading_;     // words filled in before it
    QRect statusPlace_;

    QMenuBar* menuBar_ = nullptr;
    std::array<QMenu*, 3> menus_{};
    QAction* startAction_ = nullptr;
    QAction* backupAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    QAction* configureAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    QAction* infoAction_ = nullptr;
    QAction* transferLogAction_ = nullptr;
    QAction* traceAction_ = nullptr;
    // Where the trace item traces to: a file, or standard error when empty.
    std::string traceFile_;
    QPointer<TransferLogWindow> transferLogWindow_;

    ClientArea* client_ = nullptr;
    QGroupBox* functionGroup_ = nullptr;
    QComboBox* functionList_ = nullptr;
    QGroupBox* fileGroup_ = nullptr;
    QComboBox* fileList_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;

    // Destroyed in reverse order: the exchange before the settings and the port it uses,
    // the port before the presenter of its warnings.
    std::unique_ptr<WarningBoxPresenter> warningPresenter_;
    std::unique_ptr<SerialPort> serialPort_;
    std::unique_ptr<PortSettingsDialog> settingsDialog_;
    std::unique_ptr<Exchange> exchange_;
    std::unique_ptr<BatchTransfer> batch_;
    std::unique_ptr<ExchangeRecords> records_;  // leaves the exchange before it goes
};

}  // namespace dravolin
