// The window built for Windows, under wine, as an operator uses it: it starts, receives the
// simulator's directory through COM1 and shows the names in its file list. Given a path
// (as Qt's save dialog gives it, with '/'), it then saves the first file there and prints
// the status line. Then it quits.
// Started by exchanges_wine_test.sh with -platform offscreen (wine passes no QT_ variables).
//   windows_window_check.exe -platform offscreen [SAVE-PATH]

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

#include "ui/scripted_prompts.h"
#include "ui/transfer_dialog.h"

namespace {

bool waitFor(const std::function<bool()>& done) {
    // A generous limit: wine starts slowly.
    const QDeadlineTimer deadline(60000);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The arguments from the system's wide command line: a path with umlauts stays whole.
    const QStringList arguments = QApplication::arguments();
    const QString savePath = arguments.size() > 1 ? arguments.at(1) : QString();
    auto record = std::make_shared<dravolin::ScriptedPrompts::Record>();
    record->fileAnswers.push_back(savePath);
    dravolin::TransferDialog window({}, std::make_unique<dravolin::ScriptedPrompts>(record));
    window.show();
    auto* functions = window.findChild<QComboBox*>(QStringLiteral("functionList"));
    auto* files = window.findChild<QComboBox*>(QStringLiteral("fileList"));
    auto* start = window.findChild<QAction*>(QStringLiteral("start"));
    auto* status = window.findChild<QLabel*>(QStringLiteral("statusLine"));
    if (functions == nullptr || files == nullptr || start == nullptr || status == nullptr) {
        std::fprintf(stderr, "the window has no function list, file list, start or status\n");
        return 1;
    }
    functions->setCurrentIndex(0);  // Receive Data
    emit functions->activated(0);
    start->trigger();
    const bool listed = waitFor([files] { return files->count() >= 2; });
    for (int i = 0; i < files->count(); ++i) {
        std::printf("%s\n", files->itemText(i).toUtf8().constData());
    }
    bool saved = true;
    if (listed && !savePath.isEmpty()) {
        emit files->activated(0);
        // The outcome names the file saved (the transfer log has its line by then).
        saved = waitFor([status] { return status->text().contains(QStringLiteral(".tiv")); });
        std::printf("status: %s\n", status->text().toUtf8().constData());
    }
    std::fflush(stdout);
    // The program ends here, also where the exchange waits for the operator.
    QTimer::singleShot(0, &application, [] { QApplication::exit(0); });
    return application.exec() == 0 && listed && saved ? 0 : 1;
}
