// Whole exchanges through the window against the simulated programmer on a pseudo-terminal:
// what the window adds to them. What an exchange stores, sends and logs is the exchange suites'.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "exchange/exchange.h"
#include "sim/simulated_programmer.h"
#include "support/fake_machine.h"
#include "support/recording_presenter.h"
#include "support/simulator_seed.h"
#include "support/special_files.h"
#include "support/test_folder.h"
#include "support/waiting.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"
#include "ui/port_settings_dialog.h"
#include "ui/transfer_log_window.h"

namespace dravolin {
namespace {

void writeTagDataFile(const QString& path, const std::string& data) {
    std::ofstream(path.toStdString(), std::ios::binary) << test::tagDataFile(data);
}

// The pause after the outcome runs in full unless a test shortens it.
class WindowExchangeTest : public ::testing::Test {
protected:
    // Starts the programmer (with `options` beyond its folder) and the window on Com 1.
    void startDevice(SimulatedProgrammer::Options options = {}) {
        options.files = deviceFolder_.path();
        options.seed = test::simulatorSeed();
        options.log = [](const std::string&) {};
        device_ = std::make_unique<SimulatedProgrammer>(options);
        std::string error;
        ASSERT_TRUE(device_->start(error)) << error;
        PortMap map;
        map.map(1, device_->devicePath());
        window_ = std::make_unique<TransferDialog>(map, std::make_unique<ScriptedPrompts>(record_));
        ui_ = std::make_unique<WindowDriver>(*window_);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        // A warning of the link opening the line (a pseudo-terminal refuses some settings on
        // some kernels) is answered as an operator would; every status text shown is noted.
        watch_.setInterval(20);
        QObject::connect(&watch_, &QTimer::timeout, window_.get(), [this] {
            for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
                if (box->isVisible() && box->windowTitle() == "Application Error") {
                    box->button(QMessageBox::Ok)->click();
                }
            }
            noteStatus();
        });
        watch_.start();
    }

    void noteStatus() {
        if (statuses_.empty() || statuses_.back() != ui_->status()) {
            statuses_.push_back(ui_->status());
        }
    }
    bool statusShown(const QString& text) const {
        return std::find(statuses_.begin(), statuses_.end(), text) != statuses_.end();
    }

    // The exchange's listed directory waits for a pick; false when it never came to that.
    bool listed() const {
        return waitUntil([this] { return window_->exchange().awaitingFileChoice(); }, 60000);
    }
    // The exchange has ended, its pause too; false when it never did.
    bool idle() const {
        return waitUntil([this] { return !window_->exchange().busy(); }, 60000);
    }

    // The window is back to how it was after start-up, `status` in its status line.
    void expectIdle(const QString& status = " Please select function") {
        ASSERT_TRUE(idle());
        EXPECT_EQ(ui_->status(), status);
        EXPECT_FALSE(ui_->start()->isEnabled());
        EXPECT_EQ(ui_->enabledMenus(), 3);
        EXPECT_EQ(ui_->functionList()->currentText(), "Select function");
        EXPECT_FALSE(ui_->fileList()->isVisible());
        EXPECT_FALSE(ui_->progressBar()->isVisible());
        EXPECT_FALSE(ui_->cancelButton()->isVisible());
    }

    // Runs `act` once, from the event loop, as soon as the progress bar of a reply over
    // 1000 bytes has passed `value`: the operator acting in the middle of a transfer.
    void whenProgressPasses(int value, std::function<void()> act) {
        QObject::connect(ui_->progressBar(), &QProgressBar::valueChanged, window_.get(),
                         [this, value, act = std::move(act), done = false](int now) mutable {
                             if (!done && now > value && ui_->progressBar()->maximum() > 1000) {
                                 done = true;
                                 QTimer::singleShot(0, window_.get(), act);
                             }
                         });
    }

    // Starts Receive Data and picks listed entry `index`; the fetch goes on on the event loop.
    void receive(int index) {
        ui_->chooseFunction(0);
        ui_->pressKey(Qt::Key_F5);
        ASSERT_TRUE(listed());
        WindowDriver::pick(ui_->fileList(), index);
    }

    test::TestFolder deviceFolder_;  // removes the Latin-1 name QTemporaryDir cannot
    QTemporaryDir diskFolder_;
    std::shared_ptr<ScriptedPrompts::Record> record_ = std::make_shared<ScriptedPrompts::Record>();
    std::unique_ptr<SimulatedProgrammer> device_;
    std::unique_ptr<TransferDialog> window_;
    std::unique_ptr<WindowDriver> ui_;
    QTimer watch_;
    std::vector<QString> statuses_;
};

// Receive and send with the keyboard alone: Down chooses a function, Enter starts it, the
// listed names get the focus, Down only moves through them and Enter picks one. Controls
// that mean nothing during the transfer are disabled; the progress bar rises to the file's
// bytes beside the status line, only during the transfer, and a saved path too long for the
// status line gives way in its middle. A name with a Latin-1 letter shows and is offered as
// it is everywhere: PR\u00dcFUNG. Enter and Escape never end the program: Escape cancels the
// list's wait, and Ctrl+Q quits. A send takes only a regular file.
TEST_F(WindowExchangeTest, ReceiveAndSendWorkWithTheKeyboardAlone) {
    deviceFolder_.write("PART0001.tiv", test::tagDataFile("B"));
    deviceFolder_.write("PR\xdc\x46UNG.tiv", test::tagDataFile(std::string(4000, 'a')));  // Latin-1
    const QString fifo = diskFolder_.filePath("fifo.tiv");
    test::makeFifo(fifo.toStdString());
    SimulatedProgrammer::Options paced;  // so that the transfer lasts while it is looked at
    paced.pace = LinePace{38400, 'E', 1};
    startDevice(paced);
    window_->exchange().setOutcomePause(1000);
    const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
    const auto focusIn = [](QWidget* control) {
        QWidget* focus = QApplication::focusWidget();
        return focus == control || control->isAncestorOf(focus);
    };
    ASSERT_TRUE(focusIn(ui_->functionList()));
    const QRect idleStatus = ui_->statusLine()->geometry();
    // No function chosen: Enter in the function field does nothing at all.
    press(Qt::Key_Return);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->exchange().busy());

    press(Qt::Key_Down);
    EXPECT_EQ(ui_->functionList()->currentText(), "Receive Data");
    press(Qt::Key_Return);

    // The directory is listed and the window waits for a choice, locked.
    ASSERT_TRUE(listed());
    EXPECT_TRUE(focusIn(ui_->fileList()));
    EXPECT_TRUE(ui_->fileList()->isVisible());
    ASSERT_EQ(ui_->fileList()->count(), 2);
    EXPECT_EQ(ui_->fileList()->itemText(1), QString::fromUtf8("PR\u00dc"
                                                              "FUNG"));
    EXPECT_EQ(ui_->fileList()->currentText(), "Select file");
    EXPECT_EQ(ui_->status(), " Please select file to send");
    EXPECT_EQ(ui_->enabledMenus(), 0);
    EXPECT_FALSE(ui_->functionList()->isEnabled());
    EXPECT_TRUE(ui_->cancelButton()->isVisible());
    press(Qt::Key_Return);  // on the prompt: takes nothing

    // Down shows the first name without taking it; the second Down the next one, Up back.
    press(Qt::Key_Down);
    EXPECT_EQ(ui_->fileList()->currentText(), "PART0001");
    press(Qt::Key_Down);
    press(Qt::Key_Up);
    EXPECT_EQ(ui_->fileList()->currentText(), "PART0001");
    EXPECT_TRUE(record_->fileDialogs.empty());
    EXPECT_TRUE(window_->exchange().awaitingFileChoice());
    press(Qt::Key_Down);

    std::vector<bool> enabledMidTransfer;
    whenProgressPasses(100, [&] {
        enabledMidTransfer = {ui_->fileList()->isEnabled(), ui_->functionList()->isEnabled(),
                              ui_->start()->isEnabled() && ui_->enabledMenus() > 0};
    });
    std::vector<int> values;  // of the file reply, in the order shown
    QStringList labels;
    bool rowShared = false;
    QObject::connect(ui_->progressBar(), &QProgressBar::valueChanged, window_.get(), [&](int v) {
        if (ui_->progressBar()->maximum() == 4008) {  // the file's bytes, header and data
            values.push_back(v);
            labels.push_back(ui_->progressBar()->text());
            rowShared = rowShared || (ui_->cancelButton()->isVisible() &&
                                      ui_->statusLine()->width() < idleStatus.width() / 2);
        }
    });
    const QString longFolder = diskFolder_.filePath(QString(120, 'f'));
    ASSERT_TRUE(QDir().mkpath(longFolder));
    record_->fileAnswers.push_back(longFolder + "/large.tiv");
    press(Qt::Key_Return);
    ASSERT_TRUE(idle());
    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_TRUE(record_->fileDialogs[0].save);
    EXPECT_EQ(record_->fileDialogs[0].title, "Save TIV file");
    EXPECT_EQ(record_->fileDialogs[0].initialName, QString::fromUtf8("PR\u00dc"
                                                                     "FUNG"));
    EXPECT_EQ(enabledMidTransfer, std::vector<bool>({false, false, false}));
    ASSERT_GE(values.size(), 3u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.back(), 4008);
    EXPECT_EQ(labels.back(), "4008 of 4008 bytes (100%)");
    EXPECT_TRUE(rowShared);
    noteStatus();
    const auto saved = std::find_if(statuses_.begin(), statuses_.end(), [](const QString& text) {
        return text.startsWith(" Data transmission successful - saved as ");
    });
    ASSERT_NE(saved, statuses_.end());
    EXPECT_TRUE(saved->endsWith("large.tiv")) << saved->toStdString();
    EXPECT_TRUE(saved->contains(QChar(0x2026))) << saved->toStdString();
    const QLabel* line = ui_->statusLine();
    EXPECT_LE(line->fontMetrics().horizontalAdvance(*saved), line->contentsRect().width());
    expectIdle();
    EXPECT_TRUE(record_->messages.empty());
    EXPECT_EQ(ui_->statusLine()->geometry(), idleStatus);

    // A FIFO used to freeze the window in open() for ever (a freeze now fails at the test's
    // time-out): anything but a regular file ends with 'D' at once and nothing is sent.
    ASSERT_TRUE(focusIn(ui_->functionList()));
    const std::size_t framesBeforeTheFifo = device_->receivedFrames().size();
    record_->fileAnswers.push_back(fifo);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(ui_->functionList()->currentText(), "Send Data");
    press(Qt::Key_Return);
    EXPECT_EQ(window_->exchange().outcome().letter, 'D');
    EXPECT_EQ(record_->messages, std::vector<QString>{"Error when opening file!"});
    EXPECT_EQ(device_->receivedFrames().size(), framesBeforeTheFifo);
    ASSERT_TRUE(idle());

    // Enter after a typed name takes that name (the save dialog is cancelled).
    QLineEdit* fileField = ui_->fileList()->lineEdit();
    ui_->chooseFunction(0);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(listed());
    fileField->selectAll();
    QTest::keyClicks(fileField, "PART0001");
    QTest::keyClick(fileField, Qt::Key_Return);
    ASSERT_EQ(record_->fileDialogs.size(), 3u);
    EXPECT_EQ(record_->fileDialogs[2].initialName, "PART0001");
    EXPECT_TRUE(window_->isVisible());
    expectIdle();

    // Escape while the list waits cancels the exchange, not the program.
    ui_->chooseFunction(0);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(listed());
    QTest::keyClick(fileField, Qt::Key_Escape);
    EXPECT_TRUE(window_->isVisible());
    expectIdle();
    EXPECT_TRUE(statusShown(" Cancelled"));

    // An empty programmer: the window's box says that no file was saved.
    for (const auto& entry : std::filesystem::directory_iterator(deviceFolder_.path())) {
        std::filesystem::remove(entry.path());
    }
    ui_->chooseFunction(0);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(idle());
    EXPECT_EQ(record_->messages,
              (std::vector<QString>{"Error when opening file!", "No file saved!"}));

    // Escape on the idle window does nothing (pressed once more after a cancel it must not
    // quit); Ctrl+Q quits.
    ui_->pressKey(Qt::Key_Escape);
    QTest::keyClick(ui_->functionList()->lineEdit(), Qt::Key_Escape);
    EXPECT_TRUE(window_->isVisible());
    ui_->functionList()->setFocus();
    QTest::keyClick(ui_->functionList()->lineEdit(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window_->isVisible());
}

// What the window adds to runs of several files, to a cancel and to closing mid-transfer. What
// each item of a run comes to is the CLI cases', what a cancel leaves the exchange suite's.
TEST_F(WindowExchangeTest, RunsAskAndSumUpInOneBoxCancelEndsATransferAndYesToCloseQuits) {
    deviceFolder_.write("TAG00001.tiv", test::tagDataFile("one"));
    deviceFolder_.write("TAG00002.tiv", test::tagDataFile(std::string(4000, 'x')));
    SimulatedProgrammer::Options paced;  // TAG00002's reply would take almost five seconds
    paced.pace = LinePace{9600, 'E', 1};
    startDevice(paced);
    window_->exchange().setOutcomePause(300);
    const QString folder = diskFolder_.path();
    writeTagDataFile(diskFolder_.filePath("TAG00001.tiv"), "mine");
    // The run has ended: its summary or its cancellation is in the status line.
    const auto runEnded = [this] {
        return waitUntil(
            [this] {
                const QString status = ui_->status();
                return !window_->exchange().busy() &&
                       (status == " Cancelled" || status.endsWith("files transferred"));
            },
            60000);
    };

    // Cancelled at the question: nothing is fetched.
    record_->folderAnswers.push_back(folder);
    record_->choice = 2;
    window_->findChild<QAction*>("backup")->trigger();
    ASSERT_TRUE(runEnded());
    ASSERT_EQ(record_->questions.size(), 1u);
    EXPECT_EQ(record_->questions[0], "1 of the 2 files exist already in " + folder +
                                         ".\nReplace them all, keep the existing ones, or "
                                         "cancel?");
    EXPECT_TRUE(record_->messages.empty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"TAG00001.tiv"});
    expectIdle(" Cancelled");

    // Send Data takes several files and goes on past a refused one; no box per file.
    const QString bad = diskFolder_.filePath("BAD.tiv");
    std::ofstream(bad.toStdString(), std::ios::binary) << "abcd0099short";
    writeTagDataFile(diskFolder_.filePath("GOOD2.tiv"), std::string(150, '2'));
    record_->fileAnswers = {bad, diskFolder_.filePath("GOOD2.tiv")};
    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(runEnded());
    ASSERT_EQ(record_->messages.size(), 1u);
    EXPECT_TRUE(record_->messages[0].startsWith("1 of 2 files transferred\n\n"))
        << record_->messages[0].toStdString();
    expectIdle(" 1 of 2 files transferred");

    // Cancel mid-transfer of TAG00002 (listed after GOOD2 and TAG00001): no box, window ready.
    statuses_.clear();
    record_->fileAnswers.push_back(diskFolder_.filePath("keep.tiv"));
    whenProgressPasses(500, [this] { QTest::mouseClick(ui_->cancelButton(), Qt::LeftButton); });
    receive(2);
    ASSERT_TRUE(waitUntil([this] { return statusShown(" Cancelled"); }, 60000));
    EXPECT_TRUE(window_->exchange().outcome().cancelled);
    EXPECT_EQ(record_->messages.size(), 1u);
    expectIdle();

    // Closing mid-transfer, answered yes (no is the missing line's case): the window ends at once.
    record_->answerYes = true;
    record_->fileAnswers.push_back(diskFolder_.filePath("large.tiv"));
    whenProgressPasses(500, [this] { window_->close(); });
    receive(2);
    ASSERT_TRUE(waitUntil([this] { return !window_->isVisible(); }, 60000));
    EXPECT_EQ(record_->questions.size(), 2u);
    EXPECT_EQ(window_->result(), QDialog::Rejected);
    EXPECT_FALSE(window_->exchange().busy());
}

// "Find the programmer" in the settings dialog, against the simulated programmer set to its
// own line settings. That the search gives the locks back is the search's suite's business.
TEST(FindTheProgrammer, TheDialogFindsItTakesDeviceAndSettingsIntoTheChosenComAndOkKeepsThem) {
    test::TestFolder files;
    files.write("A.tiv", test::tagDataFile("a"));
    SimulatorOptions options;
    options.files = files.path();
    options.line = LinePace{19200, 'O', 2};
    options.seed = test::simulatorSeed();
    options.log = [](const std::string&) {};
    SimulatedProgrammer programmer(options);
    std::string error;
    ASSERT_TRUE(programmer.start(error)) << error;

    // A machine with an adapter that is not really there: only the simulator's line, which
    // Com 1 stands for, can be opened.
    test::FakeMachine machine;
    machine.addUsb({"ttyUSB0", "usb-Korvane_KV-10_K0042-if00-port0"});
    RecordingPresenter warnings;
    PortMap map;
    map.map(1, programmer.devicePath());
    PortSettingsDialog dialog(map);
    dialog.setScanner(PortScanner(machine.root()));
    dialog.enableSearch(warnings, [] { return std::vector<ExchangeObserver*>{}; });

    QString found;
    bool offered = false;
    QTimer::singleShot(0, &dialog, [&] {
        auto* takeButton = dialog.findChild<QPushButton*>("takeButton");
        ASSERT_FALSE(takeButton->isVisible());
        dialog.findChild<QPushButton*>("findButton")->click();
        offered = waitUntil([&] { return takeButton->isVisible(); }, 60000);
        found = dialog.findChild<QLabel*>("findStatus")->text();
        dialog.findChild<QComboBox*>("takeCom")->setCurrentIndex(2);  // Com 3
        takeButton->click();
        dialog.findChild<QPushButton*>("1")->click();  // OK
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    ASSERT_TRUE(offered) << found.toStdString();
    EXPECT_TRUE(found.contains("19200,O,2")) << found.toStdString();
    EXPECT_TRUE(found.contains(" 1 files")) << found.toStdString();
    const PortSettings& settings = dialog.settings();
    EXPECT_EQ(settings.port, 3);
    EXPECT_EQ(settings.baudRate, 19200);
    EXPECT_EQ(settings.parity, 'O');
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_EQ(dialog.portMap().devicePath(3), programmer.devicePath());
    EXPECT_EQ(dialog.portMap().devicePath(1), programmer.devicePath());
}

// The log window, and the trace item: a state folder that cannot be made is said once for
// the log, exchanges go on, and the trace item says so and stays off. What the log and the
// trace hold is the exchange suite's business. The test keeps its own state folder, which
// the window finds, as the programs do, through XDG_STATE_HOME (it runs last: the folder
// goes with it).
TEST_F(WindowExchangeTest, TheLogWindowShowsExchangesNewestFirstAndAnUnwritableFolderWarnsOnce) {
    QTemporaryDir stateFolder;
    ASSERT_TRUE(stateFolder.isValid());
    ::setenv("XDG_STATE_HOME", stateFolder.path().toLocal8Bit().constData(), 1);
    const auto statePath = [&](const QString& name) {
        return stateFolder.filePath("dravolin/" + name);
    };
    deviceFolder_.write("PART0001.tiv", test::tagDataFile(std::string(200, 'p')));
    startDevice();
    window_->exchange().setOutcomePause(10);
    const auto receiveInto = [this](const QString& name) {
        record_->fileAnswers.push_back(diskFolder_.filePath(name));
        receive(0);
        ASSERT_TRUE(idle());
        ASSERT_EQ(window_->exchange().outcome().letter, '0');
    };
    QAction* trace = window_->findChild<QAction*>("trace");
    ASSERT_NE(trace, nullptr);
    EXPECT_FALSE(trace->isChecked());
    EXPECT_EQ(trace->text(), "Protocol &trace to " + statePath("trace.log"));
    trace->trigger();
    EXPECT_TRUE(trace->isChecked());
    receiveInto("first.tiv");
    trace->trigger();
    EXPECT_FALSE(trace->isChecked());
    const QString sent = diskFolder_.filePath("SENT.tiv");
    writeTagDataFile(sent, std::string(150, 's'));
    record_->fileAnswers.push_back(sent);
    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(idle());
    ASSERT_EQ(window_->exchange().outcome().letter, '0');

    window_->findChild<QAction*>("transferLog")->trigger();
    auto* logWindow = window_->findChild<TransferLogWindow*>();
    ASSERT_NE(logWindow, nullptr);
    EXPECT_TRUE(logWindow->isVisible());
    auto* table = logWindow->findChild<QTableWidget*>("logTable");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 2);
    // Columns: time, function, name, outcome, bytes, duration, file on the PC, ... Newest
    // first.
    EXPECT_EQ(table->item(0, 1)->text(), "Send");
    EXPECT_EQ(table->item(1, 1)->text(), "Receive");

    // In German: German words, a decimal comma, and no column title cut.
    TransferLogWindow german(statePath("transfers.log").toStdString(), Language::German);
    german.show();
    auto* germanTable = german.findChild<QTableWidget*>("logTable");
    EXPECT_EQ(germanTable->item(0, 1)->text(), "Senden");
    EXPECT_EQ(germanTable->item(0, 3)->text(), "erfolgreich");
    EXPECT_TRUE(
        QRegularExpression("^\\d+,\\d{3}$").match(germanTable->item(0, 5)->text()).hasMatch())
        << germanTable->item(0, 5)->text().toStdString();
    QHeaderView* header = germanTable->horizontalHeader();
    for (int column = 0; column < germanTable->columnCount(); ++column) {
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
            << germanTable->horizontalHeaderItem(column)->text().toStdString();
    }

    // Copy takes the log's own lines, newest first: all of them with no row selected, else
    // the selected ones. The file holds them oldest first.
    QFile logFile(statePath("transfers.log"));
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QStringList inFile = QString::fromUtf8(logFile.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(inFile.size(), 2);
    logWindow->findChild<QPushButton*>("copy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), inFile[1] + "\n" + inFile[0] + "\n");
    table->selectRow(0);
    logWindow->findChild<QPushButton*>("copy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), inFile[1] + "\n");

    ASSERT_TRUE(QDir(stateFolder.filePath("dravolin")).removeRecursively());
    QFile blocker(stateFolder.filePath("dravolin"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    receiveInto("one.tiv");
    receiveInto("two.tiv");  // saved, as asked, without a second warning
    ASSERT_EQ(record_->messages.size(), 1u);
    EXPECT_TRUE(record_->messages[0].startsWith("The transfer log " + statePath("transfers.log")))
        << record_->messages[0].toStdString();
    trace->trigger();
    EXPECT_FALSE(trace->isChecked());
    ASSERT_EQ(record_->messages.size(), 2u);
    EXPECT_TRUE(record_->messages[1].startsWith("The protocol trace "))
        << record_->messages[1].toStdString();
}

}  // namespace
}  // namespace dravolin
