#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "sim/simulated_programmer.h"
#include "support/waiting.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"

namespace dravolin {

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a tag-data file: four free header bytes, the data length as four digits, the data.
inline QByteArray writeTagDataFile(const QString& path, const QByteArray& data) {
    const QByteArray bytes = "TR01" + QByteArray::number(data.size()).rightJustified(4, '0') + data;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        << path.toStdString();
    return bytes;
}

// Whole exchanges through the window against the simulated programmer on a pseudo-terminal,
// with the file dialogs and questions answered by the test. The pause after the outcome
// runs in full unless a test shortens it.
class WindowExchangeTest : public ::testing::Test {
protected:
    // Starts the programmer (with `options` beyond its folder) and the window on Com 1.
    void startDevice(SimulatedProgrammer::Options options = {}) {
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

    // The success text was shown (`detail` after it), then the window went back to how it
    // was after start-up.
    void expectSuccessThenIdle(const QString& detail) {
        ASSERT_TRUE(idle());
        noteStatus();
        const QString success = " Data transmission successful" + detail;
        ASSERT_TRUE(statusShown(success)) << success.toStdString();
        expectIdle();
        EXPECT_TRUE(record_->messages.empty());
    }

    void expectIdle() {
        ASSERT_TRUE(idle());
        EXPECT_EQ(ui_->status(), " Please select function");
        EXPECT_FALSE(window_->exchange().busy());
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

    // Chooses "Receive Data", starts it and, once the directory is listed, picks entry
    // `index`; the fetch goes on from there on the event loop.
    void receive(int index) {
        ui_->chooseFunction(0);
        ui_->pressKey(Qt::Key_F5);
        ASSERT_TRUE(listed());
        WindowDriver::pick(ui_->fileList(), index);
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

}  // namespace dravolin
