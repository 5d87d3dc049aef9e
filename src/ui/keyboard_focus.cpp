#include "ui/keyboard_focus.h"

#include <QApplication>
#include <QWidget>

namespace dravolin {

void giveKeyboardBack(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    (modal != nullptr ? modal : window->window())->activateWindow();
}

}  // namespace dravolin
