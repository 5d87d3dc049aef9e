#include "ui/system_menu.h"

#include <windows.h>

#include <QWidget>

// The Windows twin: the item is command 16, below the system's own commands (0xF000 on);
// the system uses the four low bits of a system command's number itself.

namespace dravolin {

namespace {

constexpr UINT kAboutCommand = 0x0010;

}  // namespace

void addAboutToSystemMenu(QWidget& window, const QString& text) {
    const HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
    if (menu == nullptr) {
        return;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand, reinterpret_cast<const wchar_t*>(text.utf16()));
}

bool aboutChosenFromSystemMenu(const QByteArray& eventType, const void* message) {
    if (eventType != "windows_generic_MSG") {
        return false;
    }
    const MSG* chosen = static_cast<const MSG*>(message);
    return chosen->message == WM_SYSCOMMAND && (chosen->wParam & 0xFFF0) == kAboutCommand;
}

}  // namespace dravolin
