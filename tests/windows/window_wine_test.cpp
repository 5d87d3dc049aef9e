// The window built for Windows, under wine, as an operator uses it: it starts, receives the
// simulator's directory through COM1 and shows the names in its file list; then it quits.
// Started by exchanges_wine_test.sh with -platform offscreen (wine passes no QT_ variables).

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QTimer>

#include <cstdio>

#include "ui/transfer_dialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    dravolin::TransferDialog window;
    window.show();
    auto* functions = window.findChild<QComboBox*>(QStringLiteral("1009"));
    auto* files = window.findChild<QComboBox*>(QStringLiteral("1010"));
    auto* start = window.findChild<QAction*>(QStringLiteral("40006"));
    if (functions == nullptr || files == nullptr || start == nullptr) {
        std::fprintf(stderr, "the window has no function list, file list or start command\n");
        return 1;
    }
    functions->setCurrentIndex(0);  // Receive Data
    emit functions->activated(0);
    start->trigger();
    // The directory is in when the file list holds the names; a generous limit.
    const QDeadlineTimer deadline(60000);
    while (files->count() < 2 && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    for (int i = 0; i < files->count(); ++i) {
        std::printf("%s\n", files->itemText(i).toUtf8().constData());
    }
    std::fflush(stdout);
    // The exchange now waits for the operator to pick a file; the program ends here.
    QTimer::singleShot(0, &application, [] { QApplication::exit(0); });
    return application.exec() == 0 && files->count() >= 2 ? 0 : 1;
}
