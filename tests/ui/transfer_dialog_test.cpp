#include "ui/transfer_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTimer>

#include <map>

#include "core/settings_file.h"
#include "exchange/exchange.h"
#include "exchange/transfer_progress.h"
#include "support/wait_hook.h"
#include "support/waiting.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"
#include "ui/port_settings_dialog.h"
#include "ui/transfer_log_window.h"

namespace dravolin {
namespace {

// Com 1 names a device that does not exist: the port does not open, no warning is shown,
// and an exchange waits in vain for its reply.
PortMap missingDevice() {
    PortMap map;
    map.map(1, "/nonexistent/dravolin-test-line");
    return map;
}

// The window on a missing line, in `language`, its prompts answered by the test.
class WindowOnAMissingLine {
protected:
    explicit WindowOnAMissingLine(Language language)
        : record_(std::make_shared<ScriptedPrompts::Record>()),
          window_(missingDevice(), std::make_unique<ScriptedPrompts>(record_), nullptr, language),
          ui_(window_) {
        // The pause after an outcome only matters to the test of closing.
        window_.exchange().setOutcomePause(0);
        window_.show();
        QApplication::setActiveWindow(&window_);
        static_cast<void>(QTest::qWaitForWindowActive(&window_));
    }

    std::shared_ptr<ScriptedPrompts::Record> record_;
    TransferDialog window_;
    WindowDriver ui_;
};

class TransferDialogTest : public ::testing::Test, protected WindowOnAMissingLine {
protected:
    TransferDialogTest() : WindowOnAMissingLine(Language::English) {}
};

// Only a chosen function starts. Against a port that never answers, an exchange waits its
// second, fails, shows the box and pauses: Enter never ends the window meanwhile, the close box
// asks during the wait (answered no, the wait goes on) and closes at once during the pause.
TEST_F(TransferDialogTest, StartsOnlyAChosenFunctionAndClosingAsksDuringAWaitNotThePause) {
    EXPECT_FALSE(ui_.start()->isEnabled());
    EXPECT_FALSE(ui_.fileList()->isVisible());
    EXPECT_EQ(ui_.functionShown(), "Select function");
    EXPECT_EQ(ui_.enabledMenus(), 3);
    EXPECT_EQ(ui_.status(), " Please select function");

    for (const int function : {0, 1}) {
        ui_.start()->setEnabled(false);
        ui_.statusLine()->clear();
        ui_.chooseFunction(function);
        EXPECT_TRUE(ui_.start()->isEnabled());
        // Text 24, its tab shown as a space.
        EXPECT_EQ(ui_.status(), "Start function using \"Data exchange -> Start data exchange F5\"");
    }

    // The field takes no text: letters that begin no entry choose nothing, and Enter then
    // starts nothing; the first letters of an entry choose it, and F5 starts it at once.
    // An outcome resets the choices.
    window_.showState(ExchangeState{.stage = ExchangeState::Stage::Outcome});
    window_.showState(ExchangeState{});
    ui_.statusLine()->clear();
    QTest::keyClicks(ui_.functionList(), "hello");
    QTest::keyClick(ui_.functionList(), Qt::Key_Return);
    ui_.pressKey(Qt::Key_F5);
    EXPECT_EQ(ui_.functionShown(), "Select function");
    EXPECT_EQ(ui_.status(), "");
    EXPECT_FALSE(ui_.start()->isEnabled());
    EXPECT_FALSE(window_.exchange().busy());
    QTest::qWait(QApplication::keyboardInputInterval() + 100);  // a new word
    QTest::keyClicks(ui_.functionList(), "Send");
    EXPECT_EQ(ui_.functionShown(), "Send Data");

    // The window is locked before a file or folder dialog shows, as for a receive: menus
    // grayed, function choice disabled. Cancelled, the dialog leaves the window idle again.
    std::vector<bool> menusAndChoiceAtDialogs;
    record_->whileDialogShown = [&] {
        menusAndChoiceAtDialogs.push_back(ui_.enabledMenus() > 0);
        menusAndChoiceAtDialogs.push_back(ui_.functionList()->isEnabled());
    };
    ui_.pressKey(Qt::Key_F5);
    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_EQ(ui_.functionShown(), "Select function");
    EXPECT_EQ(ui_.status(), " Please select function");
    window_.findChild<QAction*>("backup")->trigger();
    ASSERT_EQ(record_->folderDialogs.size(), 1u);
    EXPECT_EQ(menusAndChoiceAtDialogs, std::vector<bool>(4, false));
    EXPECT_EQ(ui_.enabledMenus(), 3);
    EXPECT_TRUE(ui_.functionList()->isEnabled());
    record_->whileDialogShown = {};

    window_.exchange().setOutcomePause(60000);  // only the close request can end it
    ui_.chooseFunction(0);
    // For each attempt: whether the exchange was busy and the window stayed.
    std::vector<bool> busyAndStayed;
    auto tryToEnd = [this, &busyAndStayed](bool closeBox) {
        const bool closed = closeBox && window_.close();
        QTest::keyClick(&window_, Qt::Key_Return);
        window_.reject();
        busyAndStayed.push_back(window_.exchange().busy() && !closed && window_.isVisible());
    };
    // Once the wait for the reply has begun; then while the box is up (it is modal: the
    // close box of the window cannot be reached then).
    const test::WaitHook whileWaiting(window_.exchange(), [&](std::size_t, int) {
        QTimer::singleShot(0, &window_, [&] { tryToEnd(true); });
    });
    record_->whileMessageShown = [&] { tryToEnd(false); };

    ui_.start()->trigger();
    ASSERT_TRUE(waitUntil([this] { return record_->messages.size() == 1; }, 60000));

    EXPECT_EQ(busyAndStayed, std::vector<bool>({true, true}));
    EXPECT_EQ(record_->questions,
              std::vector<QString>({"A transfer is in progress.\nCancel it and quit?"}));
    EXPECT_EQ(ui_.status(), " Error - data transmission not successful");
    EXPECT_TRUE(window_.exchange().busy());
    // The window's run ends at the close request, not when the pause would have: the pause
    // is a timer, not a loop of its own that held the run.
    QTimer::singleShot(0, &window_, [this] { window_.close(); });
    window_.exec();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_FALSE(window_.exchange().busy());
    EXPECT_EQ(record_->questions.size(), 1u);
}

// Two runs of the window over one settings file: what the operator confirmed in the first
// is there in the second, and the backup's folder apart from the receive dialog's; a device
// given on the command line is not.
TEST(RememberedSettings, ConfirmedSettingsAndFoldersSurviveARestartButTheCommandLineDoesNot) {
    QTemporaryDir folder;
    const QString settingsPath = folder.filePath("dravolin.conf");
    const QString backupFolder = folder.filePath("backups");
    const std::string receiveFolder = folder.filePath("incoming").toStdString();
    auto record = std::make_shared<ScriptedPrompts::Record>();
    PortMap commandLine;
    commandLine.map(1, "/nonexistent/from-the-command-line");
    commandLine.map(3, "/nonexistent/also-from-the-command-line");
    {
        SettingsFile file(settingsPath);
        file.load();
        ASSERT_TRUE(file.saveFolder(SettingsFile::kReceiveDialog, receiveFolder));
        TransferDialog window(commandLine, std::make_unique<ScriptedPrompts>(record));
        window.useSettingsFile(file);
        window.exchange().setOutcomePause(0);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        WindowDriver ui(window);
        auto* settings = window.findChild<PortSettingsDialog*>();
        ASSERT_NE(settings, nullptr);
        ui.menuItem("configure")->trigger();
        ASSERT_TRUE(settings->isVisible());
        settings->findChild<QAbstractButton*>("com3")->click();
        QLineEdit* device = settings->findChild<QComboBox*>("deviceList")->lineEdit();
        device->selectAll();
        QTest::keyClicks(device, "/nonexistent/ttyUSB3");
        settings->findChild<QAbstractButton*>("baud57600")->click();
        settings->findChild<QAbstractButton*>("okButton")->click();
        // The operator's choice wins over the command line's from now on.
        EXPECT_EQ(settings->portMap().devicePath(3), "/nonexistent/ttyUSB3");
        EXPECT_EQ(settings->portMap().devicePath(1), "/nonexistent/from-the-command-line");

        // A backup into a folder of its own (the listing fails on the missing line); the
        // first one opens where received files go.
        record->folderAnswers.push_back(backupFolder);
        window.findChild<QAction*>("backup")->trigger();
        ASSERT_EQ(record->folderDialogs.size(), 1u);
        EXPECT_EQ(record->folderDialogs[0].toStdString(), receiveFolder);
    }

    SettingsFile file(settingsPath);
    file.load();
    EXPECT_EQ(file.warning(), "");
    EXPECT_EQ(file.settings().folders.at(SettingsFile::kReceiveDialog), receiveFolder);
    TransferDialog window({}, std::make_unique<ScriptedPrompts>(record));
    window.useSettingsFile(file);
    const auto* settings = window.findChild<PortSettingsDialog*>();
    EXPECT_EQ(settings->settings().port, 3);
    EXPECT_EQ(settings->settings().baudRate, 57600);
    EXPECT_EQ(settings->portMap().devicePath(3), "/nonexistent/ttyUSB3");
    EXPECT_EQ(settings->portMap().devicePath(1), "/dev/ttyS0");

    window.exchange().setOutcomePause(0);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.findChild<QAction*>("backup")->trigger();  // the folder dialog is cancelled
    ASSERT_EQ(record->folderDialogs.size(), 2u);
    EXPECT_EQ(record->folderDialogs[1], backupFolder);
}

// The texts among `texts` that claim an access key another one claims too, as "a | b".
QStringList accessKeyClashes(const QStringList& texts) {
    std::map<int, QStringList> byKey;
    for (const QString& text : texts) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (!key.isEmpty()) {
            byKey[key[0].toCombined()] << text;
        }
    }
    QStringList clashes;
    for (const auto& [key, claimants] : byKey) {
        if (claimants.size() > 1) {
            clashes << claimants.join(" | ");
        }
    }
    return clashes;
}

// What the controls of `window` show with an access key: buttons, group titles and the
// labels of other controls, shown now or later.
QStringList controlTexts(const QWidget& window) {
    QStringList texts;
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        texts << button->text();
    }
    for (const QGroupBox* group : window.findChildren<QGroupBox*>()) {
        texts << group->title();
    }
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            texts << label->text();
        }
    }
    return texts;
}

// Alt with a letter, or the letter in an open menu, goes to one item in every menu and
// dialog of the window, in both languages.
TEST(AccessKeys, AreUniqueInEveryMenuAndDialogInBothLanguages) {
    for (const Language language : {Language::German, Language::English}) {
        SCOPED_TRACE(language == Language::German ? "German" : "English");
        TransferDialog window(
            missingDevice(),
            std::make_unique<ScriptedPrompts>(std::make_shared<ScriptedPrompts::Record>()), nullptr,
            language);
        std::vector<std::pair<QString, QStringList>> scopes;
        QStringList menuTitles;
        for (const QMenu* menu : WindowDriver(window).menus()) {
            menuTitles << menu->title();
            QStringList items;
            for (const QAction* action : menu->actions()) {
                items << action->text();
            }
            scopes.emplace_back(menu->title(), items);
        }
        ASSERT_EQ(menuTitles.size(), 3);
        scopes.emplace_back("menu bar", menuTitles);
        auto* settings = window.findChild<PortSettingsDialog*>();
        settings->show();  // the captions follow the language from the first showing
        scopes.emplace_back(settings->windowTitle(), controlTexts(*settings));
        settings->reject();
        const TransferLogWindow log("/nonexistent/dravolin-test-log", language);
        scopes.emplace_back(log.windowTitle(), controlTexts(log));
        for (const auto& [where, texts] : scopes) {
            EXPECT_EQ(accessKeyClashes(texts), QStringList()) << where.toStdString();
        }
    }
}

// A display without a window manager: the keyboard goes to nobody when the window that had
// it goes away.
class NoWindowManager : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow() &&
            static_cast<QWidget*>(watched) == QApplication::activeWindow()) {
            QApplication::setActiveWindow(nullptr);
        }
        return false;
    }
};

// The keyboard comes back to the window when a dialog or a box over it closes, so that its
// shortcuts work at once.
TEST(Focus, ComesBackToTheWindowWhenADialogOrABoxCloses) {
    TransferDialog window(missingDevice());  // Qt's own boxes and dialogs
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    NoWindowManager display;
    const auto closedThenKeyboardInWindow = [&](QWidget* dialog, Qt::Key closingKey) {
        QApplication::setActiveWindow(dialog);
        dialog->installEventFilter(&display);
        QTest::keyClick(dialog, closingKey);
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, 500);
    };
    WindowDriver(window).menuItem("configure")->trigger();
    EXPECT_TRUE(
        closedThenKeyboardInWindow(window.findChild<PortSettingsDialog*>(), Qt::Key_Escape));
    window.showBox({.kind = ExchangeBox::Kind::Message,
                    .icon = MessageIcon::Information,
                    .text = {TextId::NoFileSaved, {}}},
                   [] {});
    EXPECT_TRUE(closedThenKeyboardInWindow(window.findChild<QMessageBox*>(), Qt::Key_Return));
}

// The German window; its texts are the longer ones.
class GermanWindow : public ::testing::Test, protected WindowOnAMissingLine {
protected:
    GermanWindow() : WindowOnAMissingLine(Language::German) {}

    void expectEveryTextFits(const char* where) {
        SCOPED_TRACE(where);
        QLabel* status = ui_.statusLine();
        const auto expectStatusFits = [&] {
            EXPECT_LE(status->sizeHint().width(), status->width()) << status->text().toStdString();
        };
        ExchangeState state;
        const auto show = [&](TextId id, std::vector<std::string> arguments = {}) {
            state.status = {id, std::move(arguments)};
            window_.showState(state);
            expectStatusFits();
        };
        for (const TextId id :
             {TextId::StatusSuccess, TextId::StatusFailure, TextId::StatusStartUp,
              TextId::StatusCancelled, TextId::StatusFunctionChosen, TextId::StatusIdle}) {
            show(id);
        }
        show(TextId::StatusFailureLetter, {"A"});
        show(TextId::StatusStored, {"TAG00001"});
        // Beside Cancel, and beside the progress bar, during an exchange.
        state.stage = ExchangeState::Stage::Running;
        state.cancelAvailable = true;
        for (const TextId id : {TextId::StatusDirectoryListed, TextId::StatusChooseFileToSend,
                                TextId::StatusPleaseWait}) {
            show(id);
        }
        auto* cancel = window_.findChild<QPushButton*>("cancel");
        EXPECT_GE(cancel->width(), cancel->sizeHint().width());
        window_.showProgress(TransferProgress{9000, 10008, 125});
        expectStatusFits();
        auto* bar = window_.findChild<QProgressBar*>("progress");
        EXPECT_LT(bar->fontMetrics().horizontalAdvance(bar->text()), bar->width())
            << bar->text().toStdString();
        window_.showProgress(std::nullopt);
        // The listed names, their field showing its prompt.
        state.stage = ExchangeState::Stage::Listed;
        state.cancelAvailable = false;
        state.names = {"WWWWWWWW"};
        state.namesShown = true;
        window_.showState(state);
        const std::pair<QGroupBox*, QComboBox*> groups[] = {
            {ui_.functionGroup(), ui_.functionList()}, {ui_.fileGroup(), ui_.fileList()}};
        for (const auto& [group, list] : groups) {
            EXPECT_LE(group->minimumSizeHint().width(), group->width());
            // The field lies below the title and inside the frame.
            EXPECT_GE(list->y(), group->y() + group->fontMetrics().height());
            EXPECT_LE(list->y() + list->height(), group->y() + group->height());
        }
        EXPECT_LE(ui_.fileList()->y() + ui_.fileList()->height(), status->y());
        const QLineEdit* fileField = ui_.fileList()->lineEdit();
        EXPECT_LT(fileField->fontMetrics().horizontalAdvance(fileField->text()), fileField->width())
            << fileField->text().toStdString();
        const QComboBox* functions = ui_.functionList();
        QStyleOptionComboBox field;
        field.initFrom(functions);
        const int room = functions->style()
                             ->subControlRect(QStyle::CC_ComboBox, &field,
                                              QStyle::SC_ComboBoxEditField, functions)
                             .width();
        for (const QString& shown :
             {functions->placeholderText(), functions->itemText(0), functions->itemText(1)}) {
            EXPECT_LT(functions->fontMetrics().horizontalAdvance(shown), room)
                << shown.toStdString();
        }
        window_.showState(ExchangeState{.status = {TextId::StatusIdle, {}}});
    }
};

// The window speaks German throughout: menus, status line, against a port that does not
// open the failure box with its cause, and the file dialog of a send. Every text the window
// can show fits at the default size and at the smallest the window can be made.
TEST_F(GermanWindow, SpeaksGermanAndEveryTextFitsAtTheDefaultAndTheSmallestSize) {
    EXPECT_EQ(ui_.start()->text(), "Datenaustausch starten\tF5");
    EXPECT_EQ(ui_.status(), " Bitte Funktion auswählen");

    ui_.chooseFunction(0);
    ui_.start()->trigger();
    ASSERT_TRUE(waitUntil([this] { return !window_.exchange().busy(); }, 60000));
    EXPECT_EQ(record_->messages,
              std::vector<QString>({"Fehler bei der Kommunikation:\nGerät antwortet nicht.\n"
                                    "Bitte Schnittstelle überprüfen!\n"
                                    "/nonexistent/dravolin-test-line gibt es nicht: Ist der "
                                    "Adapter eingesteckt?"}));

    ui_.chooseFunction(1);
    ui_.start()->trigger();
    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_EQ(record_->fileDialogs[0].title, "TIV-Datei auswählen");
    EXPECT_EQ(record_->fileDialogs[0].nameFilters,
              QStringList({"Alle Dateien (*)", "TIV - Codeträger-Daten (*.tiv)"}));

    expectEveryTextFits("default size");
    const QSize minimum = window_.minimumSize();
    EXPECT_GT(minimum.width(), 300);
    EXPECT_GT(minimum.height(), 200);
    window_.resize(300, 200);
    QApplication::processEvents();
    EXPECT_EQ(window_.size(), minimum);
    expectEveryTextFits("smallest size");

    // A saved file's path gives way in its middle only when it does not fit, and the
    // tooltip then holds it whole.
    const QString success = QString::fromUtf8(
        " Übertragung der Daten wurde erfolgreich durchgeführt - gespeichert als ");
    const std::string path = "/home/operator/Dokumente/BIG00001.tiv";
    window_.showState(ExchangeState{.status = {TextId::StatusSaved, {path}}});
    window_.resize(1200, minimum.height());
    QApplication::processEvents();
    EXPECT_EQ(ui_.status(), success + QString::fromStdString(path));
    EXPECT_EQ(ui_.statusLine()->toolTip(), "");
    window_.resize(minimum);
    QApplication::processEvents();
    EXPECT_TRUE(ui_.status().startsWith(success + "/")) << ui_.status().toStdString();
    EXPECT_TRUE(ui_.status().contains(QString::fromUtf8("…")) &&
                ui_.status().endsWith("BIG00001.tiv"))
        << ui_.status().toStdString();
    EXPECT_EQ(ui_.statusLine()->toolTip(), QString::fromStdString(path));
}

}  // namespace
}  // namespace dravolin
