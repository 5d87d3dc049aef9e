// "Find the programmer" in the settings dialog, against the simulated programmer set to
// its own line settings.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <memory>

#include "sim/simulated_programmer.h"
#include "support/fake_machine.h"
#include "support/recording_presenter.h"
#include "support/test_folder.h"
#include "support/waiting.h"
#include "ui/port_settings_dialog.h"

namespace dravolin {
namespace {

TEST(FindTheProgrammer, TheDialogFindsItTakesDeviceAndSettingsIntoTheChosenComAndOkKeepsThem) {
    test::TestFolder files;
    files.write("A.tiv", test::tagDataFile("a"));
    SimulatorOptions options;
    options.files = files.path();
    options.line = LinePace{19200, 'O', 2};
    options.log = [](const std::string&) {};
    SimulatedProgrammer programmer(options);
    std::string error;
    ASSERT_TRUE(programmer.start(error)) << error;

    // A machine with an adapter that is not really there: only the simulator's line, which
    // Com 1 stands for, can be opened.
    test::FakeMachine machine;
    machine.addUsb({"ttyUSB0", "usb-Kestrel_KS-10_K0042-if00-port0"});
    test::TestFolder locks;
    ::setenv("DRAVOLIN_LOCK_DIR", locks.path().c_str(), 1);
    RecordingPresenter warnings;
    PortMap map;
    map.map(1, programmer.devicePath());
    PortSettingsDialog dialog(map);
    dialog.setScanner(PortScanner(machine.root()));
    dialog.enableSearch(warnings, [] { return std::vector<ExchangeObserver*>{}; });

    QString found;
    bool offered = false;
    QTimer::singleShot(0, &dialog, [&] {
        auto* takeButton = dialog.findChild<QPushButton*>("takeButton");
        ASSERT_FALSE(takeButton->isVisible());
        dialog.findChild<QPushButton*>("findButton")->click();
        offered = waitUntil([&] { return takeButton->isVisible(); }, 60000);
        found = dialog.findChild<QLabel*>("findStatus")->text();
        dialog.findChild<QComboBox*>("takeCom")->setCurrentIndex(2);  // Com 3
        takeButton->click();
        dialog.findChild<QPushButton*>("1")->click();  // OK
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    ::unsetenv("DRAVOLIN_LOCK_DIR");

    ASSERT_TRUE(offered) << found.toStdString();
    EXPECT_TRUE(found.contains("19200,O,2")) << found.toStdString();
    EXPECT_TRUE(found.contains(" 1 files")) << found.toStdString();
    const PortSettings& settings = dialog.settings();
    EXPECT_EQ(settings.port, 3);
    EXPECT_EQ(settings.baudRate, 19200);
    EXPECT_EQ(settings.parity, 'O');
    EXPECT_EQ(settings.stopBits, 2);
    EXPECT_EQ(dialog.portMap().devicePath(3), programmer.devicePath());
    EXPECT_EQ(dialog.portMap().devicePath(1), programmer.devicePath());
    EXPECT_EQ(locks.listing(), "");
}

}  // namespace
}  // namespace dravolin
