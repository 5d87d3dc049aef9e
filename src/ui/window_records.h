#pragma once

#include <QPointer>
#include <QString>

#include <memory>
#include <string>

#include "core/message_catalog.h"

class QWidget;

namespace dravolin {

class Exchange;
class ExchangeRecords;
class TransferLogWindow;
class UserPrompts;

// The records the main window keeps of its exchanges: the transfer log, shown on request,
// and the protocol trace, which the operator switches on and off. Trouble with either is
// told in a message box over the window.
class WindowRecords {
public:
    WindowRecords(QWidget& window, Exchange& exchange, const MessageCatalog& catalog,
                  UserPrompts& prompts);
    ~WindowRecords();

    ExchangeRecords& records() { return *records_; }

    // Traces every exchange to `file` (appending), or to standard error when it is empty;
    // the trace item then names it. False with the reason when the file cannot be opened.
    bool useTrace(const std::string& file, std::string& error);
    // The trace item's text: where the trace goes.
    QString traceItemText() const;
    // Starts or stops the trace, to where the trace item says. False when it cannot start,
    // after telling the operator why.
    bool switchTrace(bool on);

    void showTransferLog();

private:
    void warn(const FilledText& warning);

    QWidget& window_;
    const MessageCatalog& catalog_;
    UserPrompts& prompts_;
    // Where the trace item traces to: a file, or standard error when empty.
    std::string traceFile_;
    QPointer<TransferLogWindow> transferLogWindow_;
    std::unique_ptr<ExchangeRecords> records_;
};

}  // namespace dravolin
