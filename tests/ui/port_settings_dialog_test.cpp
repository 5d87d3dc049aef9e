#include "ui/port_settings_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <tuple>

#include "support/fake_machine.h"

namespace dravolin {
namespace {

void click(QDialog& dialog, const char* name) {
    dialog.findChild<QAbstractButton*>(name)->click();
}

// The names of the radio buttons checked, in alphabetical order.
QStringList checkedButtons(QDialog& dialog) {
    QStringList names;
    for (QRadioButton* button : dialog.findChildren<QRadioButton*>()) {
        if (button->isChecked()) {
            names << button->objectName();
        }
    }
    names.sort();
    return names;
}

// Com port, baud rate, data bits, parity and stop bits as the dialog keeps them.
std::tuple<int, int, int, char, int> stored(PortSettingsDialog& dialog) {
    const PortSettings& s = dialog.settings();
    return {s.port, s.baudRate, s.dataBits, s.parity, s.stopBits};
}

// Runs the dialog modally; `operate` acts on it once it is up, as the operator would.
int runDialog(PortSettingsDialog& dialog, const std::function<void()>& operate) {
    QTimer::singleShot(0, &dialog, operate);
    return dialog.exec();
}

const test::FakeMachine::Usb kAdapter{.name = "ttyUSB0",
                                      .byId = "usb-Korvane_KV-10_K0042-if00-port0",
                                      .maker = "Korvane",
                                      .product = "KV-10",
                                      .serialNumber = "K0042"};
const std::string kAdapterById = "/dev/serial/by-id/usb-Korvane_KV-10_K0042-if00-port0";

// The port settings dialog on a fake machine with a USB adapter, a built-in port and one
// that is probably absent.
class DeviceChoice : public ::testing::Test {
protected:
    DeviceChoice() {
        machine.addUsb(kAdapter);
        machine.addBuiltInPort("ttyS0", "4", "0x3F8");
        machine.addBuiltInPort("ttyS1", "0", "0x2F8");
        dialog.setScanner(PortScanner(machine.root()));
    }

    QComboBox* deviceList() { return dialog.findChild<QComboBox*>("deviceList"); }
    QString note() { return dialog.findChild<QLabel*>("deviceNote")->text(); }
    QStringList listed() {
        QStringList texts;
        for (int i = 0; i < deviceList()->count(); ++i) {
            texts << deviceList()->itemText(i);
        }
        return texts;
    }
    // The Com ports marked as standing for a missing device.
    std::vector<int> markedMissing() {
        std::vector<int> ports;
        for (int port = 1; port <= 4; ++port) {
            auto* button = dialog.findChild<QRadioButton*>(QStringLiteral("com%1").arg(port));
            const bool missing = button->property("deviceMissing").toBool();
            EXPECT_EQ(missing, !button->icon().isNull()) << port;
            EXPECT_EQ(missing, button->toolTip().endsWith("(missing)")) << port;
            if (missing) {
                ports.push_back(port);
            }
        }
        return ports;
    }
    void typeDevice(const QString& path) {
        deviceList()->lineEdit()->selectAll();
        QTest::keyClick(deviceList()->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(deviceList()->lineEdit(), path);
    }

    test::FakeMachine machine;
    PortSettingsDialog dialog;
};

// The dialog speaks the window's language, lists the devices found (stable names first) and
// marks the Com ports without their device; OK keeps the buttons checked and the device
// chosen for a Com, Cancel changes nothing. Values outside the offered ones are the settings
// file's to refuse.
TEST_F(DeviceChoice, SpeaksTheWindowsLanguageListsTheDevicesAndKeepsTheChoiceOnOkOnly) {
    PortMap map;
    map.map(2, "/dev/ttyUSB9");  // an adapter that is not plugged in
    map.map(4, kAdapterById);
    dialog.setPortMap(map);
    QStringList shown;
    QString shownNote;
    std::vector<int> missing;
    QString cancelCaption;
    QString title;
    runDialog(dialog, [&] {
        shown = listed();
        shownNote = note();
        missing = markedMissing();
        cancelCaption = dialog.findChild<QPushButton*>("cancelButton")->text();
        title = dialog.windowTitle();
        dialog.reject();
    });
    EXPECT_EQ(cancelCaption, "Cancel");
    // An English window's dialog no longer has a German title.
    EXPECT_EQ(title, "Configure interface");
    EXPECT_EQ(shown, QStringList({"usb-Korvane_KV-10_K0042-if00-port0  —  Korvane KV-10, serial "
                                  "number K0042",
                                  "/dev/ttyS0  —  built-in serial port at I/O 0x3F8",
                                  "/dev/ttyS1  —  built-in serial port, probably absent (no UART "
                                  "found)",
                                  "/dev/ttyUSB9  —  missing"}));
    EXPECT_EQ(shownNote, "/dev/ttyS0: built-in serial port at I/O 0x3F8");  // Com 1's
    // Com 3 stands for /dev/ttyS2, which this machine does not have.
    EXPECT_EQ(missing, (std::vector<int>{2, 3}));

    // A German window's dialog describes them in German.
    dialog.settings().language = 0;
    runDialog(dialog, [&] {
        shown = listed();
        shownNote = note();
        cancelCaption = dialog.findChild<QPushButton*>("cancelButton")->text();
        title = dialog.windowTitle();
        dialog.reject();
    });
    EXPECT_EQ(cancelCaption, "Abbrechen");
    // The same words as the menu item that opens it.
    EXPECT_EQ(title, "Schnittstelle parametrieren");
    EXPECT_EQ(shown.mid(1, 2),
              QStringList({"/dev/ttyS0  —  eingebaute serielle Schnittstelle bei I/O 0x3F8",
                           "/dev/ttyS1  —  eingebaute serielle Schnittstelle, wohl nicht vorhanden "
                           "(kein UART gefunden)"}));
    EXPECT_EQ(shownNote, "/dev/ttyS0: eingebaute serielle Schnittstelle bei I/O 0x3F8");

    // The device chosen for a Com is kept on OK only, and the others stay as they were.
    map = PortMap();
    map.map(3, "/dev/pts/77");
    dialog.setPortMap(map);
    dialog.settings().language = 1;
    QString noteForMissing;
    runDialog(dialog, [&] {
        click(dialog, "com2");  // picks the adapter from the list
        deviceList()->setCurrentIndex(0);
        click(dialog, "com4");  // a path typed in
        typeDevice("/dev/ttyUSB5");
        noteForMissing = note();
        click(dialog, "okButton");
    });
    EXPECT_EQ(noteForMissing, "/dev/ttyUSB5 does not exist: is the adapter plugged in?");
    EXPECT_EQ(dialog.portMap().devicePath(2), kAdapterById);
    EXPECT_EQ(dialog.portMap().devicePath(3), "/dev/pts/77");
    EXPECT_EQ(dialog.portMap().devicePath(4), "/dev/ttyUSB5");
    EXPECT_EQ(dialog.changedPorts(), (std::set<int>{2, 4}));
    EXPECT_EQ(dialog.settings().port, 4);

    const int ok = runDialog(dialog, [&] {
        click(dialog, "com3");
        typeDevice("");  // back to its own device
        click(dialog, "baud57600");
        click(dialog, "stopBits2");
        click(dialog, "parityNone");
        click(dialog, "okButton");
    });
    EXPECT_EQ(ok, QDialog::Accepted);
    EXPECT_EQ(stored(dialog), std::make_tuple(3, 57600, 8, 'N', 2));
    EXPECT_EQ(dialog.portMap().devicePath(3), "/dev/ttyS2");
    EXPECT_EQ(dialog.portMap().mappings().count(3), 0u);
    EXPECT_EQ(dialog.changedPorts(), std::set<int>{3});

    const int cancel = runDialog(dialog, [&] {
        click(dialog, "com4");
        click(dialog, "parityOdd");
        click(dialog, "cancelButton");
    });
    EXPECT_EQ(cancel, QDialog::Rejected);
    // The next showing starts from the stored settings, which Cancel left as they were.
    QStringList checked;
    runDialog(dialog, [&] {
        checked = checkedButtons(dialog);
        dialog.reject();
    });
    EXPECT_EQ(checked, QStringList({"baud57600", "com3", "dataBits8", "parityNone", "stopBits2"}));

    // Each stored Com shows as its own button: Com 2 as well as the others.
    dialog.settings().port = 2;
    runDialog(dialog, [&] {
        checked = checkedButtons(dialog);
        dialog.reject();
    });
    EXPECT_EQ(checked, QStringList({"baud57600", "com2", "dataBits8", "parityNone", "stopBits2"}));
}

// Cancel leaves the settings as they were however it is pressed, Enter on the focused
// Cancel button included; Enter elsewhere is OK, as on every platform.
TEST_F(DeviceChoice, EnterPressesTheFocusedButtonAndCancelByKeyKeepsTheSettings) {
    const auto before = stored(dialog);
    const auto pick38400 = [&] {
        click(dialog, "baud38400");
        click(dialog, "parityNone");
    };
    auto* cancel = dialog.findChild<QPushButton*>("cancelButton");
    const std::vector<std::pair<const char*, std::function<void()>>> cancels = {
        {"Enter on Cancel",
         [&] {
             cancel->setFocus();
             QTest::keyClick(cancel, Qt::Key_Return);
         }},
        {"Escape",
         [&] { QTest::keyClick(dialog.findChild<QWidget*>("baud38400"), Qt::Key_Escape); }},
    };
    for (const auto& [how, press] : cancels) {
        SCOPED_TRACE(how);
        const int result = runDialog(dialog, [&] {
            pick38400();
            press();
        });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_EQ(stored(dialog), before);
    }

    // Enter on a radio button takes the default button, OK.
    const int ok = runDialog(dialog, [&] {
        pick38400();
        QTest::keyClick(dialog.findChild<QWidget*>("baud38400"), Qt::Key_Return);
    });
    EXPECT_EQ(ok, QDialog::Accepted);
    EXPECT_EQ(stored(dialog), std::make_tuple(1, 38400, 8, 'N', 1));
}

TEST_F(DeviceChoice, DevicesPluggedInOrRemovedWhileTheDialogIsOpenShowAtOnce) {
    PortMap map;
    map.map(1, "/dev/ttyACM0");
    dialog.setPortMap(map);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const std::vector<int> withoutTheModem{1, 3, 4};
    EXPECT_EQ(markedMissing(), withoutTheModem);

    const test::FakeMachine::Usb modem{.name = "ttyACM0",
                                       .byId = "usb-Loriven_Bridge_77-if00",
                                       .maker = "Loriven",
                                       .product = "Bridge",
                                       .driver = "cdc_acm",
                                       .acm = true};
    machine.addUsb(modem);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return listed().contains("usb-Loriven_Bridge_77-if00  —  Loriven Bridge"); }, 10000))
        << listed().join('|').toStdString();
    EXPECT_EQ(markedMissing(), (std::vector<int>{3, 4}));
    EXPECT_EQ(note(), "/dev/ttyACM0: Loriven Bridge");
    EXPECT_EQ(deviceList()->currentText(), "/dev/ttyACM0");  // the choice stays as it was

    machine.unplug("ttyACM0", modem.byId);
    EXPECT_TRUE(QTest::qWaitFor([&] { return markedMissing() == withoutTheModem; }, 10000));
    EXPECT_EQ(note(), "/dev/ttyACM0 does not exist: is the adapter plugged in?");
    dialog.reject();
}

}  // namespace
}  // namespace dravolin
