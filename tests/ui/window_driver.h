#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <ostream>

#include "ui/port_settings_dialog.h"
#include "ui/transfer_dialog.h"

// Texts in test failures as text, not as arrays of characters.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace dravolin {

// Finds the main window's controls by their identifiers and acts on them as an operator.
class WindowDriver {
public:
    explicit WindowDriver(TransferDialog& window) : window_(window) {}

    QGroupBox* functionGroup() const { return window_.findChild<QGroupBox*>("1000"); }
    QComboBox* functionList() const { return window_.findChild<QComboBox*>("1009"); }
    // What the function field shows: the chosen entry, or the prompt while none is.
    QString functionShown() const {
        QComboBox* list = functionList();
        return list->currentIndex() < 0 ? list->placeholderText() : list->currentText();
    }
    QComboBox* fileList() const { return window_.findChild<QComboBox*>("1010"); }
    QLabel* statusLine() const { return window_.findChild<QLabel*>("1159"); }
    QProgressBar* progressBar() const { return window_.findChild<QProgressBar*>("progress"); }
    QPushButton* cancelButton() const { return window_.findChild<QPushButton*>("cancel"); }
    QString status() const { return statusLine()->text(); }

    QAction* command(int id) const { return window_.findChild<QAction*>(QString::number(id)); }
    QAction* start() const { return command(40006); }
    // How many of the three menu titles are enabled.
    int enabledMenus() const {
        int enabled = 0;
        for (const QMenu* menu : window_.findChildren<QMenu*>(QRegularExpression("^menu[0-2]$"))) {
            enabled += menu->menuAction()->isEnabled() ? 1 : 0;
        }
        return enabled;
    }

    // Picks an entry with the mouse in the dropped-down list.
    static void pick(QComboBox* box, int index) {
        box->showPopup();
        QAbstractItemView* view = box->view();
        static_cast<void>(QTest::qWaitForWindowExposed(view->window()));
        const QRect item = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
        // Offscreen, the closed popup may stay the active window; the operator's next key
        // goes to the window again.
        if (QWidget* window = box->window(); window->isVisible() && !window->isActiveWindow()) {
            QApplication::setActiveWindow(window);
        }
    }
    void chooseFunction(int index) const { pick(functionList(), index); }
    void pressKey(Qt::Key key) const { QTest::keyClick(&window_, key); }

    // Chooses `device` for Com 1 in the port settings dialog and confirms it with OK.
    void chooseDeviceForCom1(const QString& device) const {
        command(40005)->trigger();
        auto* settings = window_.findChild<PortSettingsDialog*>();
        settings->findChild<QAbstractButton*>("1009")->click();
        QLineEdit* field = settings->findChild<QComboBox*>("deviceList")->lineEdit();
        field->selectAll();
        QTest::keyClicks(field, device);
        settings->findChild<QAbstractButton*>("1")->click();
    }

private:
    TransferDialog& window_;
};

}  // namespace dravolin
