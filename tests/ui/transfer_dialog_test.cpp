#include "ui/transfer_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTimer>

#include "exchange/exchange.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"
#include "ui/client_area.h"
#include "ui/port_settings_dialog.h"
#include "ui/window_layout.h"

namespace dravolin {
namespace {

constexpr const char* kMissingDevice = "/nonexistent/dravolin-test-line";

const QString kFunctionChosen =
    QStringLiteral("Start function using \"Data exchange -> Start data exchange\tF5\"");

class TransferDialogTest : public ::testing::Test {
protected:
    TransferDialogTest()
        : record_(std::make_shared<ScriptedPrompts::Record>()),
          window_(portMap(), std::make_unique<ScriptedPrompts>(record_)),
          ui_(window_) {
        // These tests are about the window; the pause after an outcome is a test of its own.
        window_.exchange().setOutcomePause(0);
    }

    // Com 1 names a device that does not exist: the port does not open, no warning is
    // shown, and an exchange waits in vain for its reply.
    static PortMap portMap() {
        PortMap map;
        map.map(1, kMissingDevice);
        return map;
    }

    void showActive() {
        window_.show();
        QApplication::setActiveWindow(&window_);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    }

    // The size of the window that gives a client area of `client`.
    void resizeClient(QSize client) {
        const QSize frame = window_.size() - window_.findChild<ClientArea*>()->size();
        window_.resize(client + frame);
        QApplication::processEvents();
        ASSERT_EQ(window_.findChild<ClientArea*>()->size(), client);
    }

    std::shared_ptr<ScriptedPrompts::Record> record_;
    TransferDialog window_;
    WindowDriver ui_;
};

TEST_F(TransferDialogTest, StartsIdleWithEnglishTexts) {
    showActive();
    EXPECT_EQ(window_.windowTitle(), "Dravolin");
    EXPECT_FALSE(ui_.start()->isEnabled());
    EXPECT_EQ(ui_.start()->text(), "Start data exchange\tF5");
    EXPECT_EQ(ui_.start()->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_FALSE(ui_.fileList()->isVisible());
    EXPECT_FALSE(ui_.fileGroup()->isVisible());
    EXPECT_EQ(ui_.functionList()->currentText(), "Select function");
    EXPECT_EQ(ui_.functionList()->count(), 2);
    EXPECT_EQ(ui_.functionList()->itemText(0), "Receive Data");
    EXPECT_EQ(ui_.functionList()->itemText(1), "Send Data");
    EXPECT_EQ(window_.selectedFunction(), -1);
    EXPECT_EQ(ui_.status(), " Please select function");
    EXPECT_EQ(ui_.functionGroup()->title(), "Select function");
    EXPECT_EQ(ui_.fileGroup()->title(), "Select file");
    EXPECT_TRUE(ui_.functionList()->hasFocus());

    EXPECT_EQ(ui_.menu(0)->title(), "&Data exchange");
    EXPECT_EQ(ui_.menu(1)->title(), "&Configuration");
    EXPECT_EQ(ui_.menu(2)->title(), "&?");
    EXPECT_EQ(ui_.command(40004)->text(), "&Quit program");
    EXPECT_EQ(ui_.command(40005)->text(), "Configure interface");
    EXPECT_EQ(ui_.command(57670)->text(), "&Help\tF1");
    EXPECT_EQ(ui_.command(40007)->text(), "&Info");
    EXPECT_TRUE(ui_.menusEnabled());
    for (const int id : {40004, 40005, 57670, 40007}) {
        EXPECT_TRUE(ui_.command(id)->isEnabled()) << id;
    }
    // Start, separator, Quit: in this order in the first menu.
    const QList<QAction*> items = ui_.menu(0)->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0], ui_.start());
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2], ui_.command(40004));
    const QList<QAction*> titles = window_.findChild<QMenuBar*>()->actions();
    ASSERT_EQ(titles.size(), 3);
    EXPECT_EQ(titles[2], ui_.menu(2)->menuAction());
}

TEST_F(TransferDialogTest, F5StartsNothingUntilAFunctionIsChosen) {
    showActive();
    ui_.pressKey(Qt::Key_F5);
    ui_.start()->trigger();
    EXPECT_TRUE(record_->fileDialogs.empty());
    EXPECT_FALSE(window_.exchange().busy());
    EXPECT_TRUE(ui_.menusEnabled());
    EXPECT_EQ(ui_.status(), " Please select function");

    // Once "Send Data" is chosen, F5 starts it: the file dialog comes up (and is cancelled).
    ui_.chooseFunction(1);
    ASSERT_TRUE(ui_.start()->isEnabled());
    ui_.pressKey(Qt::Key_F5);
    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_EQ(record_->fileDialogs[0].title, "Select TIV file");
    EXPECT_FALSE(window_.exchange().busy());
}

TEST_F(TransferDialogTest, ChoosingEitherFunctionEnablesStartAndPromptsForIt) {
    showActive();
    for (const int function : {0, 1}) {
        ui_.start()->setEnabled(false);
        ui_.statusLine()->clear();
        ui_.chooseFunction(function);
        EXPECT_EQ(ui_.functionList()->currentIndex(), function);
        EXPECT_EQ(window_.selectedFunction(), function);
        EXPECT_TRUE(ui_.start()->isEnabled());
        EXPECT_EQ(ui_.start()->text(), "Start data exchange\tF5");
        EXPECT_EQ(ui_.status(), kFunctionChosen);
        EXPECT_FALSE(ui_.fileList()->isVisible());
        EXPECT_FALSE(ui_.fileGroup()->isVisible());
    }
}

TEST_F(TransferDialogTest, TypedTextMakesStartDoNothingAndLeavesTheWindowIdle) {
    showActive();
    ui_.chooseFunction(1);
    ASSERT_TRUE(ui_.start()->isEnabled());
    QLineEdit* field = ui_.functionList()->lineEdit();

    // The operator types the other function's name over "Send Data": the field no longer
    // shows the selected entry, so Start must not run either function.
    field->selectAll();
    QTest::keyClicks(field, "Receive Data");
    EXPECT_EQ(ui_.functionList()->currentText(), "Receive Data");
    EXPECT_EQ(window_.selectedFunction(), -1);
    ui_.start()->trigger();
    EXPECT_TRUE(record_->fileDialogs.empty());
    EXPECT_FALSE(window_.exchange().busy());
    EXPECT_TRUE(ui_.menusEnabled());
    EXPECT_TRUE(ui_.functionList()->isEnabled());
    EXPECT_TRUE(ui_.functionGroup()->isEnabled());
    EXPECT_EQ(ui_.status(), kFunctionChosen);

    field->clear();
    QTest::keyClicks(field, "whatever");
    ui_.pressKey(Qt::Key_F5);
    EXPECT_TRUE(record_->fileDialogs.empty());
    EXPECT_FALSE(window_.exchange().busy());
    // Never an entry of its own.
    EXPECT_EQ(ui_.functionList()->count(), 2);
}

TEST_F(TransferDialogTest, ControlsFollowTheClientArea) {
    showActive();
    window_.showFileList(1);
    resizeClient(QSize(400, 300));
    EXPECT_EQ(ui_.functionGroup()->geometry(), QRect(10, 15, 120, 75));
    EXPECT_EQ(ui_.fileGroup()->geometry(), QRect(10, 114, 120, 150));
    EXPECT_EQ(ui_.statusLine()->geometry(), QRect(2, 278, 396, 21));
    // Combo boxes: the table's place and width, their own field height.
    const QRect fileList = ui_.fileList()->geometry();
    EXPECT_EQ(fileList.topLeft(), QPoint(20, 129));
    EXPECT_EQ(fileList.width(), 100);
    EXPECT_EQ(fileList.height(), ui_.fileList()->sizeHint().height());
    EXPECT_EQ(ui_.functionList()->geometry().topLeft(), QPoint(20, 33));
    EXPECT_EQ(ui_.functionList()->width(), 100);
    EXPECT_GE(ui_.functionList()->maxVisibleItems(), 1);
    EXPECT_GE(ui_.fileList()->maxVisibleItems(), 1);

    resizeClient(QSize(333, 300));
    EXPECT_EQ(ui_.functionGroup()->width(), 99);
    EXPECT_EQ(ui_.statusLine()->geometry(), QRect(2, 278, 329, 21));

    // A taller client area lets the file list drop down further.
    const int rowsBefore = ui_.fileList()->maxVisibleItems();
    resizeClient(QSize(400, 900));
    EXPECT_GT(ui_.fileList()->maxVisibleItems(), rowsBefore);
    EXPECT_EQ(ui_.statusLine()->geometry(), QRect(2, 878, 396, 21));
}

TEST_F(TransferDialogTest, PictureIsStretchedIntoItsPlace) {
    showActive();
    resizeClient(QSize(400, 300));
    const QImage shot = window_.findChild<ClientArea*>()->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(400, 300));
    const QRect picture = WindowLayout::forClientSize(QSize(400, 300)).picture;
    // A point of the programmer's dark body in the 340 x 399 picture, stretched; left of
    // the picture there is only the plain background.
    const QPoint body(picture.x() + 68 * picture.width() / 340,
                      picture.y() + 140 * picture.height() / 399);
    const QColor middle = shot.pixelColor(body);
    const QColor outside = shot.pixelColor(QPoint(picture.left() - 4, picture.center().y()));
    EXPECT_LT(middle.lightness(), 120);
    EXPECT_GT(outside.lightness(), 180);
    // The picture reaches the right edge; its bottom right corner is background of the
    // picture, darker than the window's.
    const QColor corner = shot.pixelColor(QPoint(398, 250));
    EXPECT_NE(corner, outside);
}

TEST_F(TransferDialogTest, FillingTheFileListKeepsItsPromptAndPicksNothing) {
    showActive();
    QSignalSpy picks(ui_.fileList(), &QComboBox::activated);
    window_.clearFileList(TextId::SelectFile);
    window_.appendFileListEntry("PART0001");
    window_.appendFileListEntry("PART0002");
    window_.showFileList(1);
    EXPECT_EQ(ui_.fileList()->count(), 2);
    EXPECT_EQ(ui_.fileList()->currentIndex(), -1);
    EXPECT_EQ(ui_.fileList()->currentText(), "Select file");
    EXPECT_EQ(picks.count(), 0);
    EXPECT_TRUE(ui_.fileList()->isVisible());
    EXPECT_TRUE(ui_.fileGroup()->isVisible());

    // A new listing starts empty.
    window_.clearFileList(TextId::SelectFile);
    EXPECT_EQ(ui_.fileList()->count(), 0);
    EXPECT_EQ(ui_.fileList()->currentText(), "Select file");

    window_.showFileList(2);
    EXPECT_FALSE(ui_.fileList()->isVisible());
    EXPECT_FALSE(ui_.fileGroup()->isVisible());
    window_.showFileList(1);
    window_.showFileList(0);
    EXPECT_FALSE(ui_.fileList()->isVisible());
    EXPECT_FALSE(ui_.fileGroup()->isVisible());
}

TEST_F(TransferDialogTest, MenusAndFunctionChoiceLockAndUnlock) {
    showActive();
    ui_.chooseFunction(0);
    window_.grayMainMenus();
    EXPECT_TRUE(ui_.menusGrayed());
    window_.disableFunctionChoice();
    EXPECT_FALSE(ui_.functionList()->isEnabled());
    EXPECT_FALSE(ui_.functionGroup()->isEnabled());

    window_.setStartItem(false);
    window_.enableMainMenus();
    EXPECT_TRUE(ui_.menusEnabled());
    // Enabling the menus leaves Start as its last relabelling left it.
    EXPECT_FALSE(ui_.start()->isEnabled());
    window_.setStartItem(true);
    EXPECT_TRUE(ui_.start()->isEnabled());
    window_.enableFunctionChoice();
    EXPECT_TRUE(ui_.functionList()->isEnabled());
    EXPECT_TRUE(ui_.functionGroup()->isEnabled());
}

TEST_F(TransferDialogTest, ResettingTheFunctionChoiceShowsThePromptWithoutAPick) {
    showActive();
    ui_.chooseFunction(1);
    QSignalSpy picks(ui_.functionList(), &QComboBox::activated);
    window_.setStatusText(TextId::StatusSuccess);
    window_.resetFunctionChoice();
    EXPECT_EQ(ui_.functionList()->currentIndex(), 0);
    EXPECT_EQ(ui_.functionList()->currentText(), "Select function");
    EXPECT_EQ(window_.selectedFunction(), -1);
    EXPECT_EQ(picks.count(), 0);
    // Nothing reacted as to a pick: the status line is as it was.
    EXPECT_EQ(ui_.status(), " Data transmission successful");
}

TEST_F(TransferDialogTest, QuitEndsTheRunAsAccepted) {
    showActive();
    ui_.command(40004)->trigger();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(window_.result(), QDialog::Accepted);
}

TEST_F(TransferDialogTest, EnterAndEscapeEndAnIdleWindow) {
    showActive();
    QTest::keyClick(&window_, Qt::Key_Escape);
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(window_.result(), QDialog::Rejected);

    showActive();
    QTest::keyClick(&window_, Qt::Key_Return);
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(window_.result(), QDialog::Accepted);
}

TEST_F(TransferDialogTest, EnterInTheFieldPicksTheEntryItNamesInsteadOfEnding) {
    showActive();
    QLineEdit* field = ui_.functionList()->lineEdit();
    field->selectAll();
    QTest::keyClicks(field, "Send Data");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_EQ(window_.selectedFunction(), 1);
    EXPECT_TRUE(ui_.start()->isEnabled());
    EXPECT_EQ(ui_.status(), kFunctionChosen);

    // Text that names no entry picks nothing, so Enter is the window's own key again.
    field->selectAll();
    QTest::keyClicks(field, "Sand");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(window_.result(), QDialog::Accepted);
}

TEST_F(TransferDialogTest, ConfigureRunsTheWindowsOwnSettingsDialog) {
    showActive();
    QWidget* shown = nullptr;
    QTimer::singleShot(0, &window_, [&] {
        shown = QApplication::activeModalWidget();
        auto* com3 = window_.settingsDialog().findChild<QAbstractButton*>("1010");
        com3->click();
        window_.settingsDialog().accept();
    });
    ui_.command(40005)->trigger();
    EXPECT_EQ(shown, &window_.settingsDialog());
    EXPECT_EQ(window_.settingsDialog().settings().port, 3);
    // The settings dialog names the devices the window's port map gives.
    EXPECT_EQ(window_.settingsDialog().findChild<QAbstractButton*>("1009")->toolTip(),
              kMissingDevice);
}

TEST_F(TransferDialogTest, SettingsStartAsDefaultsWithTheWindowsLanguage) {
    const PortSettings& settings = window_.settingsDialog().settings();
    EXPECT_EQ(settings.port, 1);
    EXPECT_EQ(settings.baudRate, 9600);
    EXPECT_EQ(settings.parity, 'E');
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.stopBits, 1);
    EXPECT_EQ(settings.language, 1);
}

TEST_F(TransferDialogTest, HelpAndInfoAreHandedOn) {
    showActive();
    QSignalSpy about(&window_, &TransferDialog::aboutRequested);
    QSignalSpy help(&window_, &TransferDialog::helpRequested);
    ui_.command(40007)->trigger();
    EXPECT_EQ(about.count(), 1);
    EXPECT_EQ(help.count(), 0);
    ui_.pressKey(Qt::Key_F1);
    EXPECT_EQ(help.count(), 1);
}

// An exchange against a port that never answers: it waits its second, fails with 'N', shows
// the box and pauses. Close requests, Enter and Escape must not end the window meanwhile.
TEST_F(TransferDialogTest, ClosingIsIgnoredWhileAnExchangeRunsAndWorksAfterwards) {
    window_.exchange().setOutcomePause(800);
    showActive();
    ui_.chooseFunction(0);

    struct Seen {
        bool fired = false;
        bool busy = false;
        bool closed = true;
        bool visible = false;
    };
    Seen duringWait;
    Seen duringBox;
    Seen duringPause;
    auto tryToEnd = [this](Seen& seen, bool waiting) {
        seen.fired = true;
        seen.busy = window_.exchange().busy() && window_.exchange().waiting() == waiting;
        seen.closed = window_.close();
        QTest::keyClick(&window_, Qt::Key_Escape);
        QTest::keyClick(&window_, Qt::Key_Return);
        window_.reject();
        seen.visible = window_.isVisible();
    };
    QTimer::singleShot(300, &window_, [&] { tryToEnd(duringWait, true); });
    record_->whileMessageShown = [&] {
        tryToEnd(duringBox, false);
        QTimer::singleShot(300, &window_, [&] { tryToEnd(duringPause, false); });
    };

    ui_.start()->trigger();

    for (const Seen* seen : {&duringWait, &duringBox, &duringPause}) {
        EXPECT_TRUE(seen->fired);
        EXPECT_TRUE(seen->busy);
        EXPECT_FALSE(seen->closed);
        EXPECT_TRUE(seen->visible);
    }
    ASSERT_EQ(record_->messages.size(), 1u);
    EXPECT_EQ(record_->messages[0].title, "Dravolin");
    EXPECT_EQ(record_->messages[0].text,
              "Communication error:\nDevice not responding.\nPlease check interface!");
    EXPECT_EQ(record_->messages[0].icon, MessageIcon::Exclamation);

    // Idle again: the window as after start-up, and now it can be closed.
    EXPECT_FALSE(window_.exchange().busy());
    EXPECT_EQ(ui_.status(), " Please select function");
    EXPECT_FALSE(ui_.start()->isEnabled());
    EXPECT_EQ(ui_.functionList()->currentText(), "Select function");
    EXPECT_TRUE(ui_.menusEnabled());
    EXPECT_TRUE(ui_.functionList()->isEnabled());
    EXPECT_TRUE(window_.isVisible());
    EXPECT_TRUE(window_.close());
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(window_.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace dravolin
