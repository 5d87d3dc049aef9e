#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "exchange/exchange.h"
#include "protocol/unique_fd.h"
#include "sim/simulated_programmer.h"
#include "support/special_files.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"

namespace dravolin {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a tag-data file: four free header bytes, the data length as four digits, the data.
QByteArray writeTagDataFile(const QString& path, const QByteArray& data) {
    const QByteArray bytes = "TR01" + QByteArray::number(data.size()).rightJustified(4, '0') + data;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        << path.toStdString();
    return bytes;
}

// Whole exchanges through the window against the simulated programmer on a pseudo-terminal,
// with the file dialogs answered by the test. The pause after the outcome runs in full.
class WindowExchangeTest : public ::testing::Test {
protected:
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
        // The serial link may warn while it opens the line (a pseudo-terminal refuses some
        // line settings on some kernels); the operator answers the warning. Meanwhile every
        // text the status line shows is noted, in order.
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

    // The success text was shown, then the window went back to how it was after start-up.
    void expectSuccessThenIdle() {
        noteStatus();
        const auto shown =
            std::find(statuses_.begin(), statuses_.end(), " Data transmission successful");
        ASSERT_NE(shown, statuses_.end());
        EXPECT_EQ(statuses_.back(), " Please select function");
        EXPECT_FALSE(window_->exchange().busy());
        EXPECT_FALSE(ui_->start()->isEnabled());
        EXPECT_EQ(ui_->enabledMenus(), 3);
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
    QTimer watch_;
    std::vector<QString> statuses_;
};

TEST_F(WindowExchangeTest, ReceiveListsTheDeviceChoosesAFileAndSavesIt) {
    writeTagDataFile(deviceFolder_.filePath("PART0001.tiv"), "TAG0001 ZONE A\r\n");
    const QByteArray second =
        writeTagDataFile(deviceFolder_.filePath("PART0002.tiv"), QByteArray(300, 'x') + "\r\nEND");
    startDevice();
    const QString target = diskFolder_.filePath("saved.tiv");
    record_->fileAnswers.push_back(target);

    ui_->chooseFunction(0);
    ui_->pressKey(Qt::Key_F5);

    // The directory is listed and the window waits for a choice, locked.
    ASSERT_TRUE(window_->exchange().awaitingFileChoice());
    EXPECT_TRUE(ui_->fileList()->isVisible());
    ASSERT_EQ(ui_->fileList()->count(), 2);
    EXPECT_EQ(ui_->fileList()->currentText(), "Select file");
    EXPECT_EQ(ui_->status(), " Please select file to send");
    EXPECT_EQ(ui_->enabledMenus(), 0);
    EXPECT_FALSE(ui_->functionList()->isEnabled());

    // F5 meanwhile starts nothing: no frame goes out and the window stays as it was.
    const std::size_t framesBefore = device_->receivedFrames().size();
    ui_->pressKey(Qt::Key_F5);
    ui_->start()->trigger();
    EXPECT_EQ(device_->receivedFrames().size(), framesBefore);
    EXPECT_TRUE(window_->exchange().awaitingFileChoice());
    EXPECT_TRUE(ui_->fileList()->isVisible());
    EXPECT_TRUE(record_->fileDialogs.empty());

    WindowDriver::pick(ui_->fileList(), 1);

    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_TRUE(record_->fileDialogs[0].save);
    EXPECT_EQ(record_->fileDialogs[0].title, "Save TIV file");
    EXPECT_EQ(record_->fileDialogs[0].initialName, "PART0002");
    EXPECT_EQ(readAll(target), second);
    expectSuccessThenIdle();
}

TEST_F(WindowExchangeTest, SendTransfersAFileChosenOnDisk) {
    const QString source = diskFolder_.filePath("dock3.tiv");
    // Over a hundred data bytes: the confirmation may take a second, however loaded the machine.
    const QByteArray file = writeTagDataFile(source, QByteArray("TAG0042 DOCK 3\r\n").repeated(8));
    startDevice();
    record_->fileAnswers.push_back(source);

    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);

    ASSERT_EQ(record_->fileDialogs.size(), 1u);
    EXPECT_FALSE(record_->fileDialogs[0].save);
    // The device stored it under the name taken from the file name.
    EXPECT_EQ(readAll(deviceFolder_.filePath("dock3.tiv")), file);
    expectSuccessThenIdle();
}

// A FIFO chosen to be sent used to freeze the window in open() for ever. Only a regular
// file is sent; anything else ends with 'D' at once and nothing goes on the line.
TEST_F(WindowExchangeTest, SendOfAFifoEndsWithDAtOnceAndSendsNothing) {
    const std::string fifo = diskFolder_.filePath("fifo.tiv").toStdString();
    test::makeFifo(fifo);
    startDevice();
    record_->fileAnswers.push_back(QString::fromStdString(fifo));

    // Should the window block after all, a writer that comes and goes after a generous while
    // lets it go on, so that this test fails rather than hangs.
    std::promise<void> ended;
    std::thread watchdog([&fifo, done = ended.get_future()] {
        if (done.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
            ADD_FAILURE() << "the window blocks on the FIFO";
            UniqueFd(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)).reset();
        }
    });
    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);
    ended.set_value();
    watchdog.join();

    EXPECT_EQ(window_->exchange().lastOutcome(), 'D');
    EXPECT_EQ(record_->messages, std::vector<QString>{"Error when opening file!"});
    EXPECT_TRUE(device_->receivedFrames().empty());
    EXPECT_FALSE(window_->exchange().busy());
}

TEST_F(WindowExchangeTest, EnterOrEscapeWhileTheListWaitsEndsTheProgramWithoutHarm) {
    writeTagDataFile(deviceFolder_.filePath("PART0001.tiv"), "A");
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
