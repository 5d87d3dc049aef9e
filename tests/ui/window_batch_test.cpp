#include <QAction>
#include <QDir>
#include <QProgressBar>

#include "tests/ui/window_exchange_fixture.h"

namespace dravolin {
namespace {

class WindowBatchTest : public WindowExchangeTest {
protected:
    void backUpInto(const QString& folder, int answer) {
        record_->folderAnswers.push_back(folder);
        record_->choice = answer;
        QAction* backup = window_->findChild<QAction*>(QStringLiteral("backup"));
        ASSERT_NE(backup, nullptr);
        ASSERT_TRUE(backup->isEnabled());
        backup->trigger();
        ASSERT_TRUE(runEnded());
    }

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

TEST_F(WindowBatchTest, BackupAndSeveralSendsEachSumUpInOneBoxAndBackupAsksOnceAboutExistingFiles) {
    const QByteArray first = writeTagDataFile(deviceFolder_.filePath("TAG00001.tiv"), "one");
    const QByteArray second =
        writeTagDataFile(deviceFolder_.filePath("TAG00002.tiv"), QByteArray(300, 'x'));
    writeTagDataFile(deviceFolder_.filePath("REF.tiv"), "refused");
    writeTagDataFile(deviceFolder_.filePath("A\\B.tiv"), "no file name");
    SimulatedProgrammer::Options options;
    options.refusedFetches["REF"] = 'A';
    startDevice(options);
    const QString folder = diskFolder_.path();
    writeTagDataFile(diskFolder_.filePath("TAG00001.tiv"), "mine");
    const QByteArray mine = readAll(diskFolder_.filePath("TAG00001.tiv"));

    // Cancelled at the question: nothing is fetched.
    backUpInto(folder, 2);
    ASSERT_EQ(record_->questions.size(), 1u);
    EXPECT_EQ(record_->questions[0], "1 of the 4 files exist already in " + folder +
                                         ".\nReplace them all, keep the existing ones, or "
                                         "cancel?");
    EXPECT_TRUE(record_->messages.empty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"TAG00001.tiv"});
    expectReadyAfterRun(" Cancelled");

    // Keeping the existing ones: asked once more, then one box for the whole run.
    backUpInto(folder, 1);
    EXPECT_EQ(record_->questions.size(), 2u);
    ASSERT_EQ(record_->messages.size(), 1u);
    const QString summary = record_->messages[0];
    EXPECT_TRUE(summary.startsWith("1 of 4 files transferred\n\nA\\\\B: skipped ("))
        << summary.toStdString();
    EXPECT_TRUE(
        summary.endsWith("\nREF: failed, A - Error - data transmission not successful"
                         "\nTAG00001: not fetched, " +
                         folder +
                         "/TAG00001.tiv exists already"
                         "\nTAG00002: saved as " +
                         folder + "/TAG00002.tiv"))
        << summary.toStdString();
    EXPECT_EQ(readAll(diskFolder_.filePath("TAG00001.tiv")), mine);
    EXPECT_EQ(readAll(diskFolder_.filePath("TAG00002.tiv")), second);
    // Ready at once: the window keeps its full outcome pause, which a file of a run skips.
    expectReadyAfterRun(" 1 of 4 files transferred");

    // Replacing them all.
    backUpInto(folder, 0);
    EXPECT_EQ(record_->questions.size(), 3u);
    ASSERT_EQ(record_->messages.size(), 2u);
    EXPECT_TRUE(record_->messages[1].startsWith("2 of 4 files transferred\n"))
        << record_->messages[1].toStdString();
    EXPECT_EQ(readAll(diskFolder_.filePath("TAG00001.tiv")), first);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"TAG00001.tiv", "TAG00002.tiv"}));

    // Send Data takes several files and goes on past a refused one. Over a hundred data
    // bytes each: a confirmation may take a second, however loaded the machine.
    const QByteArray good1 =
        writeTagDataFile(diskFolder_.filePath("GOOD1.tiv"), QByteArray(150, '1'));
    QFile bad(diskFolder_.filePath("BAD.tiv"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("abcd0099short") > 0);
    bad.close();
    const QByteArray good2 =
        writeTagDataFile(diskFolder_.filePath("GOOD2.tiv"), QByteArray(150, '2'));
    record_->severalFiles = {diskFolder_.filePath("GOOD1.tiv"), bad.fileName(),
                             diskFolder_.filePath("GOOD2.tiv")};

    ui_->chooseFunction(1);
    ui_->pressKey(Qt::Key_F5);
    ASSERT_TRUE(runEnded());

    // No box per file: the refused one is in the summary, with its letter.
    ASSERT_EQ(record_->messages.size(), 3u);
    const QString sendSummary = record_->messages[2];
    EXPECT_TRUE(sendSummary.startsWith("2 of 3 files transferred\n\n" +
                                       diskFolder_.filePath("GOOD1.tiv") +
                                       ": stored in the programmer as GOOD1\n" + bad.fileName() +
                                       ": failed, D - Error when opening file! ("))
        << sendSummary.toStdString();
    EXPECT_TRUE(sendSummary.endsWith(diskFolder_.filePath("GOOD2.tiv") +
                                     ": stored in the programmer as GOOD2"))
        << sendSummary.toStdString();
    EXPECT_EQ(readAll(deviceFolder_.filePath("GOOD1.tiv")), good1);
    EXPECT_EQ(readAll(deviceFolder_.filePath("GOOD2.tiv")), good2);
    EXPECT_FALSE(QFile::exists(deviceFolder_.filePath("BAD.tiv")));
    expectReadyAfterRun(" 2 of 3 files transferred");
}

}  // namespace
}  // namespace dravolin
