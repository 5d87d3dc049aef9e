#pragma once

#include <QObject>
#include <QString>

#include <array>

#include "core/message_catalog.h"

class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QWidget;

namespace dravolin {

// The ways the operator gives the main window a command: the menu bar with its items and
// their shortcuts, and Enter and Escape. Each command is a signal; what it does is the
// window's to decide.
class WindowCommands : public QObject {
    Q_OBJECT

public:
    // Builds the menu bar for `window`, which takes the shortcuts, so that they reach it
    // from any control.
    WindowCommands(QWidget& window, const MessageCatalog& catalog);

    QMenuBar* menuBar() const { return menuBar_; }

    // Puts the catalogue's texts in the menus, the trace item's `traceItem`; Start is
    // grayed until a function is chosen.
    void relabel(const QString& traceItem);

    void setMenusEnabled(bool enabled);
    void setStartItem(bool enabled);
    // Checks or clears the trace item, relabelled with `traceItem`, without switching the
    // trace.
    void showTrace(bool on, const QString& traceItem);

    // Enter in the function field starts the chosen function, as F5 does; Escape cancels a
    // transfer that can be cancelled. Neither ever ends the program. True when the key was
    // one of the two, used or not.
    bool takeKey(const QKeyEvent& key, bool inFunctionField, bool cancellable);

signals:
    void startRequested();
    void backupRequested();
    void quitRequested();
    void configureRequested();
    void helpRequested();
    void aboutRequested();
    void transferLogRequested();
    void traceSwitched(bool on);
    void cancelRequested();

private:
    QString text(TextId id) const;
    void redrawMenuBar();

    const MessageCatalog& catalog_;
    QMenuBar* menuBar_ = nullptr;
    std::array<QMenu*, 3> menus_{};
    QAction* startAction_ = nullptr;
    QAction* backupAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    QAction* configureAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    QAction* infoAction_ = nullptr;
    QAction* transferLogAction_ = nullptr;
    QAction* traceAction_ = nullptr;
};

}  // namespace dravolin
