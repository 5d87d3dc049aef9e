#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "sim/simulated_programmer.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"

namespace dravolin {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A tag-data file: four free header bytes, the data length as four digits, the data.
QByteArray tagDataFile(const QByteArray& data) {
    return "TR01" + QByteArray::number(data.size()).rightJustified(4, '0') + data;
}

// Whole exchanges through the window against the simulated programmer on a pseudo-terminal,
// with the file dialogs answered by the test. The pause after the outcome runs in full.
class WindowExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(deviceFolder_.isValid());
        ASSERT_TRUE(diskFolder_.isValid());
    }

    void startDevice() {
        SimulatedProgrammer::Options options;
        options.files = deviceFolder_.path().toStdString();
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
        watchForWarnings();
    }

    // The serial link may warn while it opens the line (a pseudo-terminal refuses some line
    // settings on some kernels); the warning waits for an answer, which the operator gives.
    void watchForWarnings() {
        warningWatch_.setInterval(100);
        QObject::connect(&warningWatch_, &QTimer::timeout, window_.get(), [this] {
            for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
                if (box->isVisible() && box->windowTitle() == "Application Error") {
                    box->button(QMessageBox::Ok)->click();
                }
            }
        });
        warningWatch_.start();
    }

    // Notes every text the status line shows, in order, while an exchange runs.
    void watchStatusLine() {
        statusWatch_.setInterval(20);
        QObject::connect(&statusWatch_, &QTimer::timeout, window_.get(), [this] { noteStatus(); });
        statusWatch_.start();
    }
    void stopWatchingStatusLine() {
        statusWatch_.stop();
        noteStatus();
    }
    void noteStatus() {
        const QString text = ui_->status();
        if (statuses_.empty() || statuses_.back() != text) {
            statuses_.push_back(text);
        }
    }

    bool sawStatusThenIdle(const QString& outcome) const {
        const auto shown = std::find(statuses_.begin(), statuses_.end(), outcome);
        return shown != statuses_.end() &&
               std::find(shown, statuses_.end(), " Please select function") != statuses_.end();
    }

    void expectIdleWindow() {
        EXPECT_FALSE(window_->exchange().busy());
        EXPECT_EQ(ui_->status(), " Please select function");
        EXPECT_FALSE(ui_->start()->isEnabled());
        EXPECT_TRUE(ui_->menusEnabled());
        EXPECT_TRUE(ui_->functionList()->isEnabled());
        EXPECT_EQ(ui_->functionList()->currentText(), "Select function");
        EXPECT_FALSE(ui_->fileList()->isVisible());
        EXPECT_TRUE(record_->messages.empty());
    }

    QTemporaryDir deviceFolder_;
    QTemporaryDir diskFolder_;
    std::shared_ptr<ScriptedPrompts::Record> record_ = std::make_shared<ScriptedPrompts::Record>();
    std::unique_ptr<SimulatedProgrammer> device_;
    std::unique_ptr<TransferDialog> window_;
    std::unique_ptr<WindowDriver> ui_;
    QTimer warningWatch_;
    QTimer statusWatch_;
    std::vector<QString> statuses_;
};

TEST_F(WindowExchangeTest, ReceiveListsTheDeviceChoosesAFileAndSavesIt) {
    const QByteArray first = tagDataFile("TAG0001 ZONE A\r\n");
    const QByteArray second = tagDataFile(QByteArray(300, 'x') + "\r\nEND");
    ASSERT_TRUE(writeAll(deviceFolder_.filePath("PART0001.tiv"), first));
    ASSERT_TRUE(writeAll(deviceFolder_.filePath("PART0002.tiv"), second));
    startDevice();
    const QString target = diskFolder_.filePath("saved.tiv");
    record_->fileAnswers.push_back(target);

    ui_->chooseFunction(0);
    ui_->pressKey(Qt::Key_F5);

    // The directory is listed and the window waits for a choice, locked.
    ASSERT_TRUE(window_->exchange().awaitingFileChoice());
    EXPECT_TRUE(ui_->fileList()->isVisible());
    EXPECT_TRUE(ui_->fileGroup()->isVisible());
    ASSERT_EQ(ui_->fileList()->count(), 2);
    EXPECT_EQ(ui_->fileList()->itemText(0), "PART0001");
    EXPECT_EQ(ui_->fileList()->itemText(1), "PART0002");
    EXPECT_EQ(ui_->fileList()->currentIndex(), -1);
    EXPECT_EQ(ui_->fileList()->currentText(), "Select file");
    EXPECT_EQ(ui_->status(), " Please select file to send");
    EXPECT_TRUE(ui_->menusGrayed());
    EXPECT_FALSE(ui_->functionList()->isEnabled());
    EXPECT_FALSE(window_->close());

    // F5 meanwhile starts nothing: no frame goes out and the window stays as it was.
    const std::size_t framesBefore = device_->receivedFrames().size();
    ui_->pressKey(Qt::Key_F5);
    ui_->start()->trigger();
    EXPECT_EQ(device_->receivedFrames().size(), framesBefore);
    EXPECT_TRUE(window_->exchange().awaitingFileChoice());
    EXPECT_TRUE(ui_->menusGrayed());
    EXPECT_TRUE(ui_->fileList()->isVisible());
    EXPECT_TRUE(record_->fileDialogs.empty());

    watchStatusLine();
    QElapsedTimer clock;
    clock.start();
    WindowDriver::pick(ui_->fileList(), 1);
    const qint64 elapsed = clock.elapsed();
    stopWatchingStatusLine();

    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    const FileDialogOptions& dialog = record_->fileDialogs[0];
    EXPECT_TRUE(dialog.save);
    EXPECT_EQ(dialog.title, "Save TIV file");
    EXPECT_EQ(dialog.initialName, "PART0002");
    EXPECT_EQ(dialog.defaultSuffix, "tiv");
    EXPECT_TRUE(dialog.confirmOverwrite);
    EXPECT_EQ(readAll(target), second);
    EXPECT_TRUE(sawStatusThenIdle(" Data transmission successful"));
    // The outcome stays on screen for the whole pause.
    EXPECT_GE(elapsed, Exchange::kOutcomePauseMs - 100);
    expectIdleWindow();
}

TEST_F(WindowExchangeTest, SendTransfersAFileChosenOnDisk) {
    const QByteArray file = tagDataFile("TAG0042 DOCK 3\r\n");
    const QString source = diskFolder_.filePath("dock3.tiv");
    ASSERT_TRUE(writeAll(source, file));
    startDevice();
    record_->fileAnswers.push_back(source);
    watchStatusLine();

    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);
    stopWatchingStatusLine();

    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_FALSE(record_->fileDialogs[0].save);
    EXPECT_EQ(record_->fileDialogs[0].title, "Select TIV file");
    // The device stored it under the name taken from the file name.
    EXPECT_EQ(readAll(deviceFolder_.filePath("dock3.tiv")), file);
    EXPECT_TRUE(sawStatusThenIdle(" Data transmission successful"));
    expectIdleWindow();
}

TEST_F(WindowExchangeTest, EnterOrEscapeWhileTheListWaitsEndsTheProgramWithoutHarm) {
    ASSERT_TRUE(writeAll(deviceFolder_.filePath("PART0001.tiv"), tagDataFile("A")));
    for (const auto& [key, result] : {std::pair{Qt::Key_Escape, QDialog::Rejected},
                                      std::pair{Qt::Key_Return, QDialog::Accepted}}) {
        startDevice();
        ui_->chooseFunction(0);
        ui_->pressKey(Qt::Key_F5);
        ASSERT_TRUE(window_->exchange().awaitingFileChoice());

        QTest::keyClick(ui_->fileList()->lineEdit(), key);
        EXPECT_FALSE(window_->isVisible());
        EXPECT_EQ(window_->result(), result);
        // The program then destroys the window in the middle of the exchange.
        ui_.reset();
        window_.reset();
        device_.reset();
    }
}

}  // namespace
}  // namespace dravolin
