#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/exchange_view.h"
#include "ui/window_layout.h"

class QComboBox;
class QEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;

namespace dravolin {

class ClientArea;

// What the main window shows of an exchange, before, while and after it runs: the function
// choice, the file list of a receive, the status line, and beside it the progress bar and
// Cancel. It places them on the client area at every size, and tells the window what the
// operator picks; what a pick starts is the window's to decide.
class ExchangePanel : public QObject {
    Q_OBJECT

public:
    // The controls go on `client`, in the order the keyboard visits them. `menuBar` is
    // measured with them: the window must be wide enough for its titles too.
    ExchangePanel(ClientArea* client, const QMenuBar* menuBar, const MessageCatalog& catalog);

    // Puts the catalogue's texts in the controls and shows the window as it starts: no
    // function chosen, no file list.
    void initialise();

    // What the texts of the current language need, whatever the window's size.
    TextRoom textRoom() const;
    void placeControls(QSize clientSize);

    // Shows what changed since the state shown last: the status line, the file list, the
    // function choice (disabled while anything runs, reset at the outcome) and Cancel.
    void showState(const ExchangeState& state);
    // A status text the window sets of its own; its last word gives way when room is short.
    void showStatus(const FilledText& status);

    // The function whose entry the field shows: 0 receive, 1 send; -1 while the prompt shows.
    int selectedFunction() const;
    bool focusInFunctionField() const;
    void focusFunctionChoice();

    // The progress bar beside the status line, while there is progress to show.
    void showProgress(const std::optional<TransferProgress>& progress);

signals:
    // The operator picked an entry of the function list.
    void functionChosen();
    // The operator picked the name at `index` of the file list.
    void listedFileChosen(int index);
    void cancelClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString text(TextId id) const;
    void fillFileList(const std::vector<std::string>& names);
    void showFileList(bool shown, bool enabled);
    void enableFunctionChoice(bool enabled);
    void resetFunctionChoice();
    void placeStatusRow();
    void showStatusText();
    bool stepThroughFileList(const QKeyEvent& key);

    const MessageCatalog& catalog_;
    const QMenuBar* menuBar_;
    ExchangeState state_;  // as last shown
    // What the status line shows; kept so that a path can be shortened anew on resizing.
    FilledText status_{TextId::StatusStartUp, {}};
    QRect statusPlace_;

    QGroupBox* functionGroup_ = nullptr;
    QComboBox* functionList_ = nullptr;
    QGroupBox* fileGroup_ = nullptr;
    QComboBox* fileList_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace dravolin
