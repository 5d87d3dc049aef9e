#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>

#include "tests/ui/window_exchange_fixture.h"
#include "ui/transfer_log_window.h"

namespace dravolin {
namespace {

// The transfer log and the protocol trace through the window. Each test keeps its own
// state folder: the window finds it, as the programs do, through XDG_STATE_HOME.
class WindowRecordsTest : public WindowExchangeTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(stateFolder_.isValid());
        ::setenv("XDG_STATE_HOME", stateFolder_.path().toLocal8Bit().constData(), 1);
        writeTagDataFile(deviceFolder_.filePath("PART0001.tiv"), QByteArray(200, 'p'));
    }
    void startWindow() {
        startDevice();
        window_->exchange().setOutcomePause(10);
    }
    QAction* action(const char* name) const { return window_->findChild<QAction*>(name); }
    QString statePath(const QString& name) const {
        return stateFolder_.filePath("dravolin/" + name);
    }
    void receiveInto(const QString& name) {
        record_->fileAnswers.push_back(diskFolder_.filePath(name));
        receive(0);
        ASSERT_TRUE(idle());
        ASSERT_EQ(window_->exchange().lastOutcome(), '0');
    }

    QTemporaryDir stateFolder_;
};

// The log window, and the trace item: a state folder that cannot be made is said once for
// the log, exchanges go on, and the trace item says so and stays off. What the log and the
// trace hold is the exchange suite's business.
TEST_F(WindowRecordsTest, TheLogWindowShowsExchangesNewestFirstAndAnUnwritableFolderWarnsOnce) {
    startWindow();
    QAction* trace = action("trace");
    ASSERT_NE(trace, nullptr);
    EXPECT_FALSE(trace->isChecked());
    EXPECT_EQ(trace->text(), "Protocol &trace to " + statePath("trace.log"));
    trace->trigger();
    EXPECT_TRUE(trace->isChecked());
    receiveInto("first.tiv");
    trace->trigger();
    EXPECT_FALSE(trace->isChecked());
    const QString sent = diskFolder_.filePath("SENT.tiv");
    writeTagDataFile(sent, QByteArray(150, 's'));
    record_->fileAnswers.push_back(sent);
    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(idle());
    ASSERT_EQ(window_->exchange().lastOutcome(), '0');

    action("transferLog")->trigger();
    auto* logWindow = window_->findChild<TransferLogWindow*>();
    ASSERT_NE(logWindow, nullptr);
    EXPECT_TRUE(logWindow->isVisible());
    auto* table = logWindow->findChild<QTableWidget*>("logTable");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 2);
    // Columns: time, function, name, outcome, bytes, duration, file on the PC, ...
    const auto cell = [&](int row, int column) { return table->item(row, column)->text(); };
    // Newest first; the log's codes in words; the duration with the locale's decimal point.
    EXPECT_EQ(cell(0, 1), "Send");
    EXPECT_EQ(cell(0, 3), "successful");
    EXPECT_EQ(cell(1, 1), "Receive");
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d{3}$").match(cell(0, 5)).hasMatch())
        << cell(0, 5).toStdString();

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
    const QStringList inFile =
        QString::fromUtf8(readAll(statePath("transfers.log"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(inFile.size(), 2);
    logWindow->findChild<QPushButton*>("copy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), inFile[1] + "\n" + inFile[0] + "\n");
    table->selectRow(0);
    logWindow->findChild<QPushButton*>("copy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), inFile[1] + "\n");

    ASSERT_TRUE(QDir(stateFolder_.filePath("dravolin")).removeRecursively());
    QFile blocker(stateFolder_.filePath("dravolin"));
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
