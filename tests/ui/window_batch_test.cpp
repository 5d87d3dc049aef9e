#include <QAction>
#include <QDir>
#include <QProgressBar>

#include "tests/ui/window_exchange_fixture.h"

namespace dravolin {
namespace {

// What a run of several files adds to the window: the question about existing files, the
// dialog of several files, one box for the whole run and the window ready after it. What
// each item of a run comes to is the CLI cases' business.
class WindowBatchTest : public WindowExchangeTest {
protected:
    // The run has ended: its summary or its cancellation is in the status line.
    bool runEnded() const {
        return waitUntil(
            [this] {
                const QString status = ui_->status();
                return !window_->exchange().busy() &&
                       (status == " Cancelled" || status.endsWith("files transferred"));
            },
            60000);
    }

    // The window is ready for the next exchange, the run's outcome in its status line.
    void expectReadyAfterRun(const QString& status) {
        EXPECT_EQ(ui_->status(), status);
        EXPECT_FALSE(window_->exchange().busy());
        EXPECT_EQ(ui_->enabledMenus(), 3);
        EXPECT_FALSE(ui_->progressBar()->isVisible());
        EXPECT_FALSE(ui_->cancelButton()->isVisible());
    }
};

TEST_F(WindowBatchTest, BackupAsksAboutExistingFilesAndSeveralSendsSumUpInOneBox) {
    writeTagDataFile(deviceFolder_.filePath("TAG00001.tiv"), "one");
    writeTagDataFile(deviceFolder_.filePath("TAG00002.tiv"), QByteArray(300, 'x'));
    startDevice();
    const QString folder = diskFolder_.path();
    writeTagDataFile(diskFolder_.filePath("TAG00001.tiv"), "mine");

    // Cancelled at the question: nothing is fetched.
    record_->folderAnswers.push_back(folder);
    record_->choice = 2;
    QAction* backup = window_->findChild<QAction*>(QStringLiteral("backup"));
    ASSERT_TRUE(backup->isEnabled());
    backup->trigger();
    ASSERT_TRUE(runEnded());
    ASSERT_EQ(record_->questions.size(), 1u);
    EXPECT_EQ(record_->questions[0], "1 of the 2 files exist already in " + folder +
                                         ".\nReplace them all, keep the existing ones, or "
                                         "cancel?");
    EXPECT_TRUE(record_->messages.empty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"TAG00001.tiv"});
    expectReadyAfterRun(" Cancelled");

    // Send Data takes several files and goes on past a refused one; no box per file.
    QFile bad(diskFolder_.filePath("BAD.tiv"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("abcd0099short") > 0);
    bad.close();
    writeTagDataFile(diskFolder_.filePath("GOOD2.tiv"), QByteArray(150, '2'));
    record_->fileAnswers = {bad.fileName(), diskFolder_.filePath("GOOD2.tiv")};
    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(runEnded());
    ASSERT_EQ(record_->messages.size(), 1u);
    EXPECT_TRUE(record_->messages[0].startsWith("1 of 2 files transferred\n\n"))
        << record_->messages[0].toStdString();
    expectReadyAfterRun(" 1 of 2 files transferred");
}

}  // namespace
}  // namespace dravolin
