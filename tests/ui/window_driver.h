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
#include <QTest>

#include <ostream>
#include <vector>

#include "ui/port_settings_dialog.h"
#include "ui/transfer_dialog.h"

// Texts in test failures as text, not as arrays of characters.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace dravolin {

// Finds the main window's controls by their names and acts on them as an operator.
class WindowDriver {
public:
    explicit WindowDriver(TransferDialog& window) : window_(window) {}

    QGroupBox* functionGroup() const { return window_.findChild<QGroupBox*>("functionGroup"); }
    QComboBox* functionList() const { return window_.findChild<QComboBox*>("functionList"); }
    // What the function field shows: the chosen entry, or the prompt while none is.
    QString functionShown() const {
        QComboBox* list = functionList();
        return list->currentIndex() < 0 ? list->placeholderText() : list->currentText();
    }
    QGroupBox* fileGroup() const { return window_.findChild<QGroupBox*>("fileGroup"); }
    QComboBox* fileList() const { return window_.findChild<QComboBox*>("fileList"); }
    QLabel* statusLine() const { return window_.findChild<QLabel*>("statusLine"); }
    QProgressBar* progressBar() const { return window_.findChild<QProgressBar*>("progress"); }
    QPushButton* cancelButton() const { return window_.findChild<QPushButton*>("cancel"); }
    QString status() const { return statusLine()->text(); }

    QAction* menuItem(const char* name) const { return window_.findChild<QAction*>(name); }
    QAction* start() const { return menuItem("start"); }
    // The menu bar's three menus, in their order.
    std::vector<QMenu*> menus() const {
        std::vector<QMenu*> found;
        for (const char* name : {"dataExchangeMenu", "configurationMenu", "helpMenu"}) {
            found.push_back(window_.findChild<QMenu*>(name));
        }
        return found;
    }
    // How many of the three menu titles are enabled.
    int enabledMenus() const {
        int enabled = 0;
        for (const QMenu* menu : menus()) {
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
        menuItem("configure")->trigger();
        auto* settings = window_.findChild<PortSettingsDialog*>();
        settings->findChild<QAbstractButton*>("com1")->click();
        QLineEdit* field = settings->findChild<QComboBox*>("deviceList")->lineEdit();
        field->selectAll();
        QTest::keyClicks(field, device);
        settings->findChild<QAbstractButton*>("okButton")->click();
    }

private:
    TransferDialog& window_;
};

}  // namespace dravolin
