#include "ui/window_records.h"

#include <QDir>
#include <QWidget>

#include "exchange/exchange_records.h"
#include "exchange/state_folder.h"
#include "protocol/path_text.h"
#include "ui/transfer_log_window.h"
#include "ui/user_prompts.h"

namespace dravolin {

WindowRecords::WindowRecords(QWidget& window, Exchange& exchange, const MessageCatalog& catalog,
                             UserPrompts& prompts)
    : window_(window),
      catalog_(catalog),
      prompts_(prompts),
      traceFile_(textOfPath(pathFromText(stateFolder()) / "trace.log")),
      records_(std::make_unique<ExchangeRecords>(
          exchange, "dravolin", TransferLog::defaultPath(),
          [this](const FilledText& warning) { warn(warning); })) {}

WindowRecords::~WindowRecords() = default;

bool WindowRecords::useTrace(const std::string& file, std::string& error) {
    if (!records_->startTrace(file, error)) {
        return false;
    }
    traceFile_ = file;
    return true;
}

QString WindowRecords::traceItemText() const {
    if (traceFile_.empty()) {
        return QString::fromStdString(catalog_.lookup(
            FilledText{TextId::TraceItem, {catalog_.lookup(TextId::TraceToStandardError)}}));
    }
    // The file in the short form operators know from the shell.
    QString shown = QString::fromStdString(traceFile_);
    const QString home = QDir::homePath();
    if (shown.startsWith(home + QLatin1Char('/'))) {
        shown.replace(0, home.size(), QStringLiteral("~"));
    }
    // A '&' in the path would otherwise be taken for the item's shortcut.
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QString::fromStdString(catalog_.lookup(TextId::TraceItem))
        .replace(QStringLiteral("%1"), shown);
}

bool WindowRecords::switchTrace(bool on) {
    if (!on) {
        records_->stopTrace();
        return true;
    }
    std::string error;
    const std::size_t slash = traceFile_.rfind('/');
    const bool folderReady = traceFile_.empty() || slash == std::string::npos || slash == 0 ||
                             makeFolderPath(traceFile_.substr(0, slash), error);
    if (folderReady && records_->startTrace(traceFile_, error)) {
        return true;
    }
    prompts_.showMessage(&window_, window_.windowTitle(),
                         QString::fromStdString(catalog_.lookup(
                             FilledText{TextId::TraceCannotOpen, {traceFile_, error}})),
                         MessageIcon::Exclamation);
    return false;
}

void WindowRecords::showTransferLog() {
    if (!transferLogWindow_) {
        transferLogWindow_ =
            new TransferLogWindow(records_->transferLog().path(), catalog_.language(), &window_);
        transferLogWindow_->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        transferLogWindow_->reload();
    }
    transferLogWindow_->show();
    transferLogWindow_->raise();
    transferLogWindow_->activateWindow();
}

void WindowRecords::warn(const FilledText& warning) {
    prompts_.showMessage(&window_, window_.windowTitle(),
                         QString::fromStdString(catalog_.lookup(warning)),
                         MessageIcon::Exclamation);
}

}  // namespace dravolin
