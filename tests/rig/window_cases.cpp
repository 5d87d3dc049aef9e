// The window in the rig's guest (offscreen), on the FTDI adapter's driver, the simulated
// programmer serving the host end of the line: the adapter is removed during a receive.
// Run inside the guest by tests/rig/unplug_guest.sh, not by ctest on the host.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "exchange/exchange.h"
#include "tests/ui/scripted_prompts.h"
#include "tests/ui/window_driver.h"

namespace dravolin {
namespace {

const QString kDevice = "/dev/ttyUSB0";
const QString kData = "/rig/data";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Descriptors of this process open on a USB serial device, by the paths they were opened by.
QStringList openUsbSerialDevices() {
    QStringList held;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith("/dev/ttyUSB")) {
            held << target;
        }
    }
    return held;
}

// The host removes the adapter while BIG's reply comes in and plugs it in again once the
// guest's console says RIG-REPLUG. The window stays open throughout: it must have let go
// of the line when the exchange ended, or the adapter comes back as ttyUSB1.
TEST(RigWindow, UnpluggedMidReceiveItLetsGoOfTheLineAndWorksAgainAfterReplugging) {
    PortMap map;
    map.map(1, kDevice.toStdString());
    const auto record = std::make_shared<ScriptedPrompts::Record>();
    TransferDialog window(map, std::make_unique<ScriptedPrompts>(record));
    WindowDriver ui(window);
    // The pause after an outcome is the operator's to read it; nobody reads here.
    window.exchange().setOutcomePause(0);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // Receives the entry whose name starts with `name` (names are padded to 8) into
    // `target`; the exchange runs on the event loop until it has ended.
    const auto receive = [&](const QString& name, const QString& target) {
        record->fileAnswers.push_back(target);
        ui.chooseFunction(0);
        ui.pressKey(Qt::Key_F5);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.exchange().awaitingFileChoice(); }, 60000))
            << ui.status().toStdString();
        const int entry = ui.fileList()->findText(name, Qt::MatchStartsWith);
        ASSERT_GE(entry, 0);
        WindowDriver::pick(ui.fileList(), entry);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.exchange().busy(); }, 120000));
    };
    QTemporaryDir disk;
    ASSERT_NO_FATAL_FAILURE(receive("BIG", disk.filePath("big.tiv")));  // ends when the line goes

    ASSERT_EQ(record->messages.size(), 1u);
    EXPECT_TRUE(record->messages[0].endsWith("The device " + kDevice + " has gone."))
        << record->messages[0].toStdString();
    EXPECT_TRUE(QDir(disk.path()).isEmpty());
    EXPECT_EQ(openUsbSerialDevices(), QStringList());
    EXPECT_FALSE(QFile::exists("/run/lock/LCK..ttyUSB0"));

    QFile console("/dev/console");
    ASSERT_TRUE(console.open(QIODevice::WriteOnly));
    console.write("RIG-REPLUG\n");
    console.close();
    EXPECT_TRUE(QTest::qWaitFor([] { return QFile::exists(kDevice); }, 20000));
    EXPECT_FALSE(QFile::exists("/dev/ttyUSB1"));

    record->messages.clear();
    const QString again = disk.filePath("again.tiv");
    ASSERT_NO_FATAL_FAILURE(receive("TAG00001", again));
    EXPECT_EQ(readAll(again), readAll(kData + "/TAG00001.tiv"));
    EXPECT_TRUE(record->messages.empty()) << record->messages.front().toStdString();
}

}  // namespace
}  // namespace dravolin
