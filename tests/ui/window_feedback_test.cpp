#include <QFontMetrics>

#include "tests/ui/window_exchange_fixture.h"

namespace dravolin {
namespace {

// What the operator sees and can do while an exchange runs: progress, Cancel, closing, and
// the texts that say how it ended.
class WindowFeedbackTest : public WindowExchangeTest {
protected:
    // A programmer whose file reply takes over a second at 38400 baud.
    void startPacedDevice(long baud = 38400) {
        writeTagDataFile(deviceFolder_.filePath("LARGE.tiv"), QByteArray(4000, 'L'));
        SimulatedProgrammer::Options options;
        options.pace = LinePace{baud, 'E', 1};
        startDevice(options);
        window_->exchange().setOutcomePause(kShortPause);
    }

    // Long enough for the status watch to see the outcome, short enough to keep tests quick.
    static constexpr int kShortPause = 300;
};

// A saved path too long for the status line gives way in its middle.
TEST_F(WindowFeedbackTest, ProgressRisesToTheTotalBesideTheStatusLineOnlyDuringTheTransfer) {
    startPacedDevice();
    const QString folder = diskFolder_.filePath(QString(120, 'f'));
    ASSERT_TRUE(QDir().mkpath(folder));
    record_->fileAnswers.push_back(folder + "/large.tiv");
    const QRect idleStatus = ui_->statusLine()->geometry();
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

    receive(0);
    ASSERT_TRUE(idle());

    // The file's bytes, header and data.
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
}

// How fast the cancel is seen is the benchmark's business (operator_feedback_bench). What a
// cancel leaves on disk and on the line is the exchange suite's; Escape cancelling is the
// keyboard case's.
TEST_F(WindowFeedbackTest, CancelMidTransferEndsItAndClosingAsksAndYesQuits) {
    startPacedDevice(9600);  // the file reply would take almost five seconds
    record_->fileAnswers.push_back(diskFolder_.filePath("keep.tiv"));
    whenProgressPasses(500, [this] { QTest::mouseClick(ui_->cancelButton(), Qt::LeftButton); });
    receive(0);

    ASSERT_TRUE(waitUntil([this] { return statusShown(" Cancelled"); }, 60000));
    EXPECT_TRUE(window_->exchange().cancelled());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(record_->messages.empty());
    expectIdle();
    QObject::disconnect(ui_->progressBar(), nullptr, window_.get(), nullptr);

    // Answered yes (no goes on: tested with the wait for a reply): the window ends without
    // the pause.
    record_->answerYes = true;
    record_->fileAnswers.push_back(diskFolder_.filePath("large.tiv"));
    whenProgressPasses(500, [this] { window_->close(); });
    receive(0);
    ASSERT_TRUE(waitUntil([this] { return !window_->isVisible(); }, 60000));
    EXPECT_EQ(record_->questions.size(), 1u);
    EXPECT_EQ(window_->result(), QDialog::Rejected);
    EXPECT_FALSE(window_->exchange().busy());
}

}  // namespace
}  // namespace dravolin
