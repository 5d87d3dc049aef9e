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
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>

#include "exchange/exchange.h"
#include "exchange/transfer_log.h"
#include "sim/simulated_programmer.h"
#include "support/fake_machine.h"
#include "support/simulator_seed.h"
#include "support/special_files.h"
#include "support/test_folder.h"
#include "support/wait_hook.h"
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
        EXPECT_EQ(ui_->functionShown(), "Select function");
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
    EXPECT_EQ(window_->exchange().outcome().letter(), 'D');
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
    QTest::keyClick(ui_->functionList(), Qt::Key_Escape);
    EXPECT_TRUE(window_->isVisible());
    ui_->functionList()->setFocus();
    QTest::keyClick(ui_->functionList(), Qt::Key_Q, Qt::ControlModifier);
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
    EXPECT_TRUE(window_->exchange().outcome().cancelled());
    EXPECT_EQ(record_->messages.size(), 1u);
    expectIdle();

    // Closing mid-transfer with the question left open: the transfer ends and saves its file,
    // and with nothing left to lose the question and the window go.
    record_->leaveQuestionsOpen = true;
    const QString whole = diskFolder_.filePath("whole.tiv");
    record_->fileAnswers.push_back(whole);
    ui_->chooseFunction(0);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(listed());
    {
        bool closed = false;  // once, at the first wait of the fetch
        const test::WaitHook closeAtTheFetch(window_->exchange(), [&](std::size_t, int) {
            if (!std::exchange(closed, true)) {
                QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
            }
        });
        WindowDriver::pick(ui_->fileList(), 1);  // TAG00001
        ASSERT_TRUE(idle());
    }
    EXPECT_EQ(record_->questions.size(), 2u);
    EXPECT_EQ(record_->questionsWithdrawn, 1);
    EXPECT_TRUE(QFile::exists(whole));
    EXPECT_FALSE(window_->isVisible());
    record_->leaveQuestionsOpen = false;
    window_->show();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));

    // Closing mid-transfer, answered yes (no is the missing line's case): the window ends at once.
    record_->answerYes = true;
    record_->fileAnswers.push_back(diskFolder_.filePath("large.tiv"));
    whenProgressPasses(500, [this] { window_->close(); });
    receive(2);
    ASSERT_TRUE(waitUntil([this] { return !window_->isVisible(); }, 60000));
    EXPECT_EQ(record_->questions.size(), 3u);
    EXPECT_EQ(window_->result(), QDialog::Rejected);
    EXPECT_FALSE(window_->exchange().busy());
}

// The German window's search for the programmer through each of its ends, the settings
// dialog closed with Escape after each: found, nothing answered, cancelled, closed while a
// try runs, and the window itself gone at once after that. Whatever the search still had
// under way (a try's queued end, its timers, the port's monitor thread) must find nothing
// gone: the suite runs under AddressSanitizer too. What the dialog says fits its place: a
// long device path gives way, never the settings (in German words) or the count of tries.
// A device and settings found are taken into a Com port and kept with OK. Each search,
// however it ended, is one line of the transfer log.
TEST(FindTheProgrammer, EveryEndOfASearchLeavesTheWindowWholeAndItsWordsFit) {
    const auto logged = [] {
        std::vector<std::string> lines;
        std::string error;
        EXPECT_TRUE(TransferLog::lastLines(TransferLog::defaultPath(), 1000, lines, error))
            << error;
        return lines;
    };
    const std::size_t loggedBefore = logged().size();
    QTemporaryDir links;
    const QString longName = links.filePath(
        "usb-Korvane_KV-10_Handheld_Programmer_Interface_K0042-if00-port0-with-a-long-name");
    test::TestFolder files;
    files.write("A.tiv", test::tagDataFile("a"));
    const auto start = [&files](SimulatorOptions options) {
        options.files = files.path();
        options.seed = test::simulatorSeed();
        options.log = [](const std::string&) {};
        auto programmer = std::make_unique<SimulatedProgrammer>(options);
        std::string error;
        EXPECT_TRUE(programmer->start(error)) << error;
        return programmer;
    };
    SimulatorOptions quietAtOtherSettings;  // answers at 38400,O,2 and is silent otherwise
    quietAtOtherSettings.line = LinePace{38400, 'O', 2};
    quietAtOtherSettings.noisePercent = 0;
    quietAtOtherSettings.link = longName.toStdString();
    const auto programmer = start(quietAtOtherSettings);
    SimulatorOptions refusing;  // refuses every directory request at once
    refusing.answers[DeviceCommand::Directory] = 'W';
    const auto refuser = start(refusing);

    test::FakeMachine machine;  // nothing of this machine's own ports is asked
    const auto searchOn =
        [&](const std::string& device,
            const std::function<void(TransferDialog&, PortSettingsDialog&)>& search) {
            PortMap map;
            map.map(1, device);
            auto record = std::make_shared<ScriptedPrompts::Record>();
            auto window = std::make_unique<TransferDialog>(
                map, std::make_unique<ScriptedPrompts>(record), nullptr, Language::German);
            auto* dialog = window->findChild<PortSettingsDialog*>();
            dialog->setScanner(PortScanner(machine.root()));
            window->show();
            WindowDriver(*window).menuItem("configure")->trigger();
            EXPECT_TRUE(dialog->isVisible());
            search(*window, *dialog);
            return window;
        };
    const auto button = [](PortSettingsDialog& dialog, const char* name) {
        return dialog.findChild<QPushButton*>(name);
    };
    const auto status = [](PortSettingsDialog& dialog) {
        return dialog.findChild<QLabel*>("findStatus")->text();
    };
    // The status as shown at the end, and whether it fitted its place.
    QString shownAtTheEnd;
    bool fitted = false;
    const auto findAndEndWith = [&](PortSettingsDialog& dialog,
                                    const std::function<bool()>& ended) {
        button(dialog, "findButton")->click();
        EXPECT_TRUE(waitUntil(ended, 60000)) << status(dialog).toStdString();
        const QLabel* label = dialog.findChild<QLabel*>("findStatus");
        shownAtTheEnd = label->text();
        const QRect room = label->contentsRect();
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 10000),
                                                               Qt::TextWordWrap, shownAtTheEnd);
        fitted = needed.width() <= room.width() && needed.height() <= room.height();
        QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    };
    const auto tryRunning = [&](PortSettingsDialog& dialog, int number) {
        return status(dialog).contains(QStringLiteral("(Versuch %1 von").arg(number));
    };

    std::unique_ptr<TransferDialog> window =
        searchOn(longName.toStdString(), [&](TransferDialog& window, PortSettingsDialog& dialog) {
            // Found after the settings where the programmer keeps silent.
            findAndEndWith(dialog, [&] { return button(dialog, "takeButton")->isVisible(); });
            EXPECT_TRUE(shownAtTheEnd.startsWith("Der Programmer antwortet auf /") &&
                        shownAtTheEnd.contains(QString::fromUtf8("…")) &&
                        shownAtTheEnd.endsWith(QString::fromUtf8(
                            " mit 38400 Baud, Parität ungerade, Stoppbits 2 und hat 1 Dateien.")))
                << shownAtTheEnd.toStdString();
            EXPECT_TRUE(fitted);
            EXPECT_EQ(dialog.findChild<QLabel*>("findStatus")->toolTip(),
                      "Der Programmer antwortet auf " + longName +
                          QString::fromUtf8(" mit 38400 Baud, Parität ungerade, Stoppbits 2 und "
                                            "hat 1 Dateien."));
            WindowDriver(window).menuItem("configure")->trigger();
            findAndEndWith(dialog, [&] { return tryRunning(dialog, 2); });  // closed mid-try
            const QRegularExpression settingsAndCount(
                QString::fromUtf8(" mit \\d+ Baud, Parität (ungerade|gerade|keine), Stoppbits [12] "
                                  "\\(Versuch 2 von \\d+\\), noch \\d+ s$"));
            EXPECT_TRUE(shownAtTheEnd.contains(QString::fromUtf8("…")) &&
                        settingsAndCount.match(shownAtTheEnd).hasMatch())
                << shownAtTheEnd.toStdString();
            EXPECT_TRUE(fitted);
            WindowDriver(window).menuItem("configure")->trigger();
            findAndEndWith(dialog, [&] {
                if (tryRunning(dialog, 2)) {
                    button(dialog, "findButton")->click();  // Cancel
                }
                return status(dialog) == "Suche abgebrochen.";
            });
            // Found once more, taken into Com 3 with Enter, and kept with Enter on OK.
            WindowDriver(window).menuItem("configure")->trigger();
            button(dialog, "findButton")->click();
            ASSERT_TRUE(waitUntil([&] { return button(dialog, "takeButton")->isVisible(); }));
            dialog.findChild<QComboBox*>("takeCom")->setCurrentIndex(2);
            QTest::keyClick(button(dialog, "takeButton"), Qt::Key_Return);
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
            const PortSettings& kept = dialog.settings();
            EXPECT_EQ(std::make_tuple(kept.port, kept.baudRate, kept.parity, kept.stopBits),
                      std::make_tuple(3, 38400, 'O', 2));
            EXPECT_EQ(dialog.portMap().devicePath(3), longName.toStdString());
        });
    pumpEvents(200);
    EXPECT_TRUE(window->isVisible());
    window = searchOn(refuser->devicePath(), [&](TransferDialog&, PortSettingsDialog& dialog) {
        // A programmer that refuses is told apart from silence, in the window's words.
        findAndEndWith(
            dialog, [&] { return status(dialog).startsWith("Kein Programmer hat geantwortet."); });
        EXPECT_TRUE(shownAtTheEnd.contains(QString::fromUtf8(
            "antwortete ohne Verzeichnis: W bei 9600 Baud, Parität gerade, Stoppbits 1")))
            << shownAtTheEnd.toStdString();
    });
    pumpEvents(200);
    EXPECT_TRUE(window->isVisible());
    // The window goes at once after a dialog closed mid-try: the program ends.
    window = searchOn(programmer->devicePath(), [&](TransferDialog&, PortSettingsDialog& dialog) {
        findAndEndWith(dialog, [&] { return tryRunning(dialog, 3); });
    });
    window.reset();
    pumpEvents(200);

    // Found, closed mid-try, cancelled, found, nothing answered, gone with the window.
    const std::vector<std::string> lines = logged();
    ASSERT_EQ(lines.size(), loggedBefore + 6);
    const std::string found = "\tdevice=" + longName.toStdString() + "\tline=38400,O,8,2\t";
    const std::vector<std::pair<std::string, std::string>> wanted = {
        {found, "0"},
        {"\tdevice=" + longName.toStdString() + "\t", "cancelled"},
        {"\tdevice=" + longName.toStdString() + "\t", "cancelled"},
        {found, "0"},
        {"\tdevice=" + refuser->devicePath() + "\tline=9600,E,8,1\t", "N"},
        {"\tdevice=" + programmer->devicePath() + "\t", "cancelled"}};
    for (std::size_t search = 0; search < wanted.size(); ++search) {
        const std::string& line = lines[loggedBefore + search];
        EXPECT_NE(line.find("\tfunction=find\t"), std::string::npos) << line;
        EXPECT_NE(line.find(wanted[search].first), std::string::npos) << line;
        EXPECT_NE(line.find("\toutcome=" + wanted[search].second + "\t"), std::string::npos)
            << line;
        EXPECT_NE(line.find("\ttried="), std::string::npos) << line;
    }
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
        ASSERT_EQ(window_->exchange().outcome().letter(), '0');
    };
    QAction* trace = window_->findChild<QAction*>("trace");
    ASSERT_NE(trace, nullptr);
    EXPECT_FALSE(trace->isChecked());
    EXPECT_EQ(trace->text(), "&Protocol trace to " + statePath("trace.log"));
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
    ASSERT_EQ(window_->exchange().outcome().letter(), '0');

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

    // In German: German words and a decimal comma.
    TransferLogWindow german(statePath("transfers.log").toStdString(), Language::German);
    german.show();
    auto* germanTable = german.findChild<QTableWidget*>("logTable");
    EXPECT_EQ(germanTable->item(0, 1)->text(), "Senden");
    EXPECT_EQ(germanTable->item(0, 3)->text(), "erfolgreich");
    EXPECT_TRUE(
        QRegularExpression("^\\d+,\\d{3}$").match(germanTable->item(0, 5)->text()).hasMatch())
        << germanTable->item(0, 5)->text().toStdString();

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
    logFile.close();

    // The line's settings in German words, as the window's own texts say them.
    EXPECT_EQ(germanTable->item(0, 8)->text(), "9600 Baud, Parit\u00e4t gerade, Stoppbits 1");
    EXPECT_EQ(table->item(0, 8)->text(), "9600,E,8,1");

    // A line another program writes shows in the open window, a key the window does not
    // know passed over. A long path gives way in its middle (whole in its tooltip), so
    // that every column stays in view, in both languages, also at 800 pixels wide.
    const QString longPath = "/home/ops/" + QString("a-folder-of-tags/").repeated(12) + "T.tiv";
    QString another = inFile[1];
    another.replace(QRegularExpression("\tpc=[^\t]*"), "\tpc=" + longPath);
    ASSERT_TRUE(logFile.open(QIODevice::Append));
    logFile.write((another + "\tlater=more\n").toUtf8());
    logFile.close();
    ASSERT_TRUE(waitUntil([&] { return table->rowCount() == 3 && germanTable->rowCount() == 3; }));
    EXPECT_EQ(table->item(0, 6)->toolTip(), longPath);
    EXPECT_EQ(table->item(0, 9)->text(), table->item(1, 9)->text());
    const auto everyColumnInView = [](TransferLogWindow& window) {
        pumpEvents(50);
        auto* shown = window.findChild<QTableWidget*>("logTable");
        QHeaderView* columns = shown->horizontalHeader();
        const int last = shown->columnCount() - 1;
        EXPECT_LE(columns->sectionViewportPosition(last) + columns->sectionSize(last),
                  shown->viewport()->width())
            << window.width();
        EXPECT_FALSE(shown->horizontalScrollBar()->isVisible());
        for (int column = 0; column <= last; ++column) {
            EXPECT_GE(columns->sectionSize(column), columns->sectionSizeHint(column))
                << shown->horizontalHeaderItem(column)->text().toStdString();
        }
    };
    everyColumnInView(*logWindow);
    everyColumnInView(german);
    logWindow->resize(800, logWindow->height());
    german.resize(800, german.height());
    everyColumnInView(*logWindow);
    everyColumnInView(german);

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
