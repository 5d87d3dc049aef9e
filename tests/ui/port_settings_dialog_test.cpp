#include "ui/port_settings_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace dravolin {
namespace {

QRadioButton* radio(QDialog& dialog, int id) {
    return dialog.findChild<QRadioButton*>(QString::number(id));
}

std::vector<int> checkedIds(QDialog& dialog) {
    std::vector<int> ids;
    for (QRadioButton* button : dialog.findChildren<QRadioButton*>()) {
        if (button->isChecked()) {
            ids.push_back(button->objectName().toInt());
        }
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Runs the dialog modally; `operate` acts on it once it is up, as the operator would.
int runDialog(PortSettingsDialog& dialog, const std::function<void()>& operate) {
    QTimer::singleShot(0, &dialog, operate);
    return dialog.exec();
}

TEST(PortSettingsDialog, OpensWithTheDefaults) {
    PortSettingsDialog dialog;
    std::vector<int> shown;
    QString cancelCaption;
    bool focusOnOk = false;
    runDialog(dialog, [&] {
        shown = checkedIds(dialog);
        cancelCaption = dialog.findChild<QPushButton*>("2")->text();
        focusOnOk = dialog.focusWidget() == dialog.findChild<QPushButton*>("1");
        dialog.reject();
    });
    // Com 1, 9600 baud, 8, 1 stop bit, even parity.
    EXPECT_EQ(shown, (std::vector<int>{1005, 1009, 1011, 1013, 1015}));
    EXPECT_EQ(cancelCaption, "Cancel");
    EXPECT_TRUE(focusOnOk);
    EXPECT_EQ(dialog.windowTitle(), "Serielle Schnittstelle parametrieren");
}

TEST(PortSettingsDialog, OkStoresTheCheckedButtons) {
    PortSettingsDialog dialog;
    const int result = runDialog(dialog, [&] {
        radio(dialog, 1010)->click();  // Com 3
        radio(dialog, 1008)->click();  // 57600 baud
        radio(dialog, 1014)->click();  // 2 stop bits
        radio(dialog, 1017)->click();  // no parity
        dialog.findChild<QPushButton*>("1")->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    const PortSettings& settings = dialog.settings();
    EXPECT_EQ(settings.port, 3);
    EXPECT_EQ(settings.baudRate, 57600);
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_EQ(settings.parity, 'N');
    EXPECT_EQ(settings.dataBits, 8);

    // The next showing starts from what was stored.
    std::vector<int> shown;
    runDialog(dialog, [&] {
        shown = checkedIds(dialog);
        dialog.reject();
    });
    EXPECT_EQ(shown, (std::vector<int>{1008, 1010, 1011, 1014, 1017}));
}

TEST(PortSettingsDialog, EveryButtonMapsToItsValue) {
    struct Case {
        int id;
        std::function<int(const PortSettings&)> field;
        int value;
    };
    const std::vector<Case> cases = {
        {1009, [](const PortSettings& s) { return s.port; }, 1},
        {1162, [](const PortSettings& s) { return s.port; }, 2},
        {1018, [](const PortSettings& s) { return s.port; }, 4},
        {1005, [](const PortSettings& s) { return s.baudRate; }, 9600},
        {1006, [](const PortSettings& s) { return s.baudRate; }, 19200},
        {1007, [](const PortSettings& s) { return s.baudRate; }, 38400},
        {1016, [](const PortSettings& s) { return s.parity; }, 'O'},
        {1015, [](const PortSettings& s) { return s.parity; }, 'E'},
        {1013, [](const PortSettings& s) { return s.stopBits; }, 1},
    };
    PortSettingsDialog dialog;
    dialog.settings().port = 3;
    dialog.settings().baudRate = 57600;
    dialog.settings().parity = 'N';
    dialog.settings().stopBits = 2;
    for (const Case& c : cases) {
        runDialog(dialog, [&] {
            radio(dialog, c.id)->click();
            dialog.accept();
        });
        EXPECT_EQ(c.field(dialog.settings()), c.value) << "button " << c.id;
    }
}

TEST(PortSettingsDialog, CancelLeavesSettingsAndNextShowingAsTheyWere) {
    PortSettingsDialog dialog;
    dialog.settings().port = 2;
    dialog.settings().baudRate = 19200;
    const PortSettings before = dialog.settings();
    const int result = runDialog(dialog, [&] {
        radio(dialog, 1018)->click();
        radio(dialog, 1008)->click();
        radio(dialog, 1016)->click();
        dialog.findChild<QPushButton*>("2")->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dialog.settings().port, before.port);
    EXPECT_EQ(dialog.settings().baudRate, before.baudRate);
    EXPECT_EQ(dialog.settings().parity, before.parity);
    std::vector<int> shown;
    runDialog(dialog, [&] {
        shown = checkedIds(dialog);
        dialog.reject();
    });
    EXPECT_EQ(shown, (std::vector<int>{1006, 1011, 1013, 1015, 1162}));
}

TEST(PortSettingsDialog, ValuesOutsideTheOfferedOnesOpenAsDefaultsAndOkStoresThose) {
    PortSettingsDialog dialog;
    dialog.settings().port = 9;
    dialog.settings().baudRate = 4800;
    dialog.settings().dataBits = 7;
    dialog.settings().parity = 'M';
    dialog.settings().stopBits = 3;
    std::vector<int> shown;
    runDialog(dialog, [&] {
        shown = checkedIds(dialog);
        dialog.accept();
    });
    // Com 1, 9600, 8, 1 stop bit, odd parity.
    EXPECT_EQ(shown, (std::vector<int>{1005, 1009, 1011, 1013, 1016}));
    EXPECT_EQ(dialog.settings().port, 1);
    EXPECT_EQ(dialog.settings().baudRate, 9600);
    EXPECT_EQ(dialog.settings().dataBits, 8);
    EXPECT_EQ(dialog.settings().parity, 'O');
    EXPECT_EQ(dialog.settings().stopBits, 1);
}

TEST(PortSettingsDialog, CancelCaptionFollowsTheLanguage) {
    const std::vector<std::pair<int, QString>> cases = {
        {0, "Abbrechen"}, {1, "Cancel"}, {7, "Abbrechen"}};
    for (const auto& [language, caption] : cases) {
        PortSettingsDialog dialog;
        dialog.settings().language = language;
        QString shown;
        runDialog(dialog, [&] {
            shown = dialog.findChild<QPushButton*>("2")->text();
            dialog.reject();
        });
        EXPECT_EQ(shown, caption) << "language " << language;
    }
}

TEST(PortSettingsDialog, SevenDataBitsExistButAreNeverVisible) {
    PortSettingsDialog dialog;
    bool sevenVisible = true;
    bool eightVisible = false;
    runDialog(dialog, [&] {
        sevenVisible = radio(dialog, 1012)->isVisible();
        eightVisible = radio(dialog, 1011)->isVisible();
        dialog.reject();
    });
    EXPECT_FALSE(sevenVisible);
    EXPECT_TRUE(eightVisible);
    EXPECT_EQ(radio(dialog, 1012)->text(), "7");
}

TEST(PortSettingsDialog, ComButtonsNameTheirDevices) {
    PortMap map;
    map.map(3, "/dev/ttyUSB0");
    PortSettingsDialog dialog(map);
    EXPECT_EQ(radio(dialog, 1009)->toolTip(), "/dev/ttyS0");
    EXPECT_EQ(radio(dialog, 1162)->toolTip(), "/dev/ttyS1");
    EXPECT_EQ(radio(dialog, 1010)->toolTip(), "/dev/ttyUSB0");
    EXPECT_EQ(radio(dialog, 1018)->toolTip(), "/dev/ttyS3");
}

}  // namespace
}  // namespace dravolin
