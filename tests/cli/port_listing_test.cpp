#include "cli/port_listing.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/fake_machine.h"

namespace dravolin {
namespace {

using test::FakeMachine;

const std::string kById = "usb-Korvane_KV-10_K0042-if00-port0";

// Com 2 the adapter by its stable name, 3 one unplugged, 4 a pseudo-terminal, 1 its default.
TEST(PortListing, OneDeviceALineWithTheComPortsThatStandForItOrAsJson) {
    FakeMachine machine;
    machine.addUsb({.name = "ttyUSB0",
                    .byId = kById,
                    .maker = "Korvane",
                    .product = "KV-10\tserial\x1b\xc2\x9b"
                               "2J\x7f",  // C1 CSI in UTF-8
                    .serialNumber = "K0042"});
    machine.addBuiltInPort("ttyS0", "4", "0x3F8");
    machine.addBuiltInPort("ttyS1", "0", "0x2F8");
    std::filesystem::create_directories(machine.root() / "dev/pts");
    std::ofstream(machine.root() / "dev/pts/5") << "";
    PortMap map;
    map.map(2, "/dev/serial/by-id/" + kById);
    map.map(3, "/dev/ttyUSB9");
    map.map(4, "/dev/pts/5");
    EXPECT_EQ(portsAsText(listPorts(PortScanner(machine.root()), map)),
              "/dev/ttyUSB0\t/dev/serial/by-id/" + kById +
                  "\tKorvane KV-10\\x09serial\\x1b\\xc2\\x9b"
                  "2J\\x7f, serial number K0042\tCOM2\n"
                  "/dev/ttyS0\t-\tbuilt-in serial port at I/O 0x3F8\tCOM1\n"
                  "/dev/ttyS1\t-\tbuilt-in serial port, probably absent (no UART found)\t-\n"
                  "/dev/ttyUSB9\t-\tmissing\tCOM3\n"
                  "/dev/pts/5\t-\tpseudo-terminal\tCOM4\n");

    // JSON holds the same for scripts.
    map.map(1, "/dev/pts/5");  // two Com ports for one device
    const std::string json = portsAsJson(listPorts(PortScanner(machine.root()), map));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    const QJsonArray devices = document.array();
    ASSERT_EQ(devices.size(), 5);

    const QJsonObject adapter = devices[0].toObject();
    EXPECT_EQ(adapter["path"].toString(), "/dev/ttyUSB0");
    EXPECT_EQ(adapter["byId"].toString().toStdString(), "/dev/serial/by-id/" + kById);
    // As the device says it, for scripts; JSON escapes its controls, C1 and DEL too.
    EXPECT_EQ(adapter["product"].toString(), QString::fromUtf8("KV-10\tserial\x1b\xc2\x9b"
                                                               "2J\x7f"));
    EXPECT_EQ(json.find("\xc2\x9b"), std::string::npos);
    EXPECT_EQ(json.find('\x7f'), std::string::npos);
    EXPECT_EQ(adapter["serialNumber"].toString(), "K0042");
    EXPECT_EQ(adapter["usbId"].toString(), "f00d:0001");
    EXPECT_EQ(adapter["coms"].toArray(), QJsonArray({2}));
    EXPECT_TRUE(adapter["usb"].toBool());

    const QJsonObject absent = devices[2].toObject();
    EXPECT_TRUE(absent["byId"].isNull());
    EXPECT_TRUE(absent["probablyAbsent"].toBool());
    EXPECT_EQ(absent["coms"].toArray(), QJsonArray());

    // Devices the scan missed follow in the order of their first Com port.
    const QJsonObject unplugged = devices[4].toObject();
    EXPECT_EQ(unplugged["path"].toString(), "/dev/ttyUSB9");
    EXPECT_FALSE(unplugged["present"].toBool());
    EXPECT_FALSE(unplugged["listed"].toBool());
    const QJsonObject pty = devices[3].toObject();
    EXPECT_EQ(pty["path"].toString(), "/dev/pts/5");
    EXPECT_TRUE(pty["present"].toBool());
    EXPECT_EQ(pty["coms"].toArray(), QJsonArray({1, 4}));
}

}  // namespace
}  // namespace dravolin
