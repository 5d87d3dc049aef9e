#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace dravolin {

// The about item of a window's system menu (the menu of its title bar's icon), where the
// system has such a menu: Windows (system_menu_win32.cpp). The item works in every state of
// the window, also during an exchange, as the title bar's own items do. X11 has no such
// menu: there both do nothing.

// Adds the item, worded `text`, below a separator; `window` must have been shown.
void addAboutToSystemMenu(QWidget& window, const QString& text);

// Whether the native event `message` of `eventType` is the choice of that item.
bool aboutChosenFromSystemMenu(const QByteArray& eventType, const void* message);

}  // namespace dravolin
