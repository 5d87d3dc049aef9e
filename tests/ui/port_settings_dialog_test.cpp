#include "ui/port_settings_dialog.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace dravolin {
namespace {

void click(QDialog& dialog, int id) {
    dialog.findChild<QAbstractButton*>(QString::number(id))->click();
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

TEST(PortSettingsDialog, OpensWithTheDefaultsAndSpeaksTheWindowsLanguage) {
    PortSettingsDialog dialog;
    std::vector<int> shown;
    QString cancelCaption;
    QString title;
    auto look = [&] {
        shown = checkedIds(dialog);
        cancelCaption = dialog.findChild<QPushButton*>("2")->text();
        title = dialog.windowTitle();
        dialog.reject();
    };
    runDialog(dialog, look);
    // Com 1, 9600 baud, 8, 1 stop bit, even parity.
    EXPECT_EQ(shown, (std::vector<int>{1005, 1009, 1011, 1013, 1015}));
    EXPECT_EQ(cancelCaption, "Cancel");
    // An English window's dialog no longer has a German title.
    EXPECT_EQ(title, "Configure interface");

    dialog.settings().language = 0;
    runDialog(dialog, look);
    EXPECT_EQ(cancelCaption, "Abbrechen");
    EXPECT_EQ(title, "Serielle Schnittstelle parametrieren");
}

TEST(PortSettingsDialog, OkStoresTheCheckedButtonsAndCancelChangesNothing) {
    PortSettingsDialog dialog;
    const int ok = runDialog(dialog, [&] {
        click(dialog, 1010);  // Com 3
        click(dialog, 1008);  // 57600 baud
        click(dialog, 1014);  // 2 stop bits
        click(dialog, 1017);  // no parity
        click(dialog, 1);     // OK
    });
    EXPECT_EQ(ok, QDialog::Accepted);
    const PortSettings& settings = dialog.settings();
    EXPECT_EQ(settings.port, 3);
    EXPECT_EQ(settings.baudRate, 57600);
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_EQ(settings.parity, 'N');
    EXPECT_EQ(settings.dataBits, 8);

    const int cancel = runDialog(dialog, [&] {
        click(dialog, 1018);  // Com 4
        click(dialog, 1005);  // 9600 baud
        click(dialog, 1013);  // 1 stop bit
        click(dialog, 1016);  // odd parity
        click(dialog, 2);     // Cancel
    });
    EXPECT_EQ(cancel, QDialog::Rejected);
    // The next showing starts from the stored settings, which Cancel left as they were.
    std::vector<int> shown;
    runDialog(dialog, [&] {
        shown = checkedIds(dialog);
        dialog.reject();
    });
    EXPECT_EQ(shown, (std::vector<int>{1008, 1010, 1011, 1014, 1017}));
}

TEST(PortSettingsDialog, ValuesOutsideTheOfferedOnesOpenAsDefaultsAndOkStoresThose) {
    PortSettingsDialog dialog;
    dialog.settings() = {.baudRate = 4800, .dataBits = 7, .parity = 'M', .stopBits = 3, .port = 9};
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

}  // namespace
}  // namespace dravolin
