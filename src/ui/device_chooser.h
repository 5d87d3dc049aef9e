#pragma once

#include <QGroupBox>

#include <memory>
#include <vector>

#include "core/message_catalog.h"
#include "serial/device_change_watch.h"
#include "serial/port_map.h"
#include "serial/port_scanner.h"

class QComboBox;
class QLabel;

namespace dravolin {

// The part of the port settings dialog that says which device a Com port stands for: a
// list of the serial devices found (stable name and description first) in which a path
// can also be typed, and a line on the chosen device. While it is shown it follows the
// devices being plugged in and removed, told by the system (no polling).
//
// Object names: "deviceList" the list, "deviceNote" the line under it.
class DeviceChooser : public QGroupBox {
    Q_OBJECT

public:
    explicit DeviceChooser(QWidget* parent = nullptr);

    // Where the devices are looked for; the machine itself unless told otherwise.
    void setScanner(PortScanner scanner) { scanner_ = std::move(scanner); }
    const PortScanner& scanner() const { return scanner_; }

    // Starts a showing: the devices of `map`, the list for Com `com`, texts in `language`
    // (0 German, 1 English). Watches the devices until end().
    void begin(const PortMap& map, int com, int language);
    void end();

    // Keeps what is chosen for the Com shown so far, and shows Com `com` instead.
    void showCom(int com);
    // The same, with Com `com` standing for `path` from now on (the programmer found).
    void takeDevice(int com, const std::string& path);

    // The devices as chosen so far in this showing.
    PortMap chosenMap();

    // Whether the device Com `com` stands for (as chosen so far) is missing.
    bool deviceMissing(int com);

    // Scans again; called by itself when the devices change.
    void refresh();

signals:
    // The devices found, or the one chosen, changed: marks may have to change too.
    void devicesChanged();

private:
    struct Entry {
        QString text;
        std::string path;
    };

    void showChoice();
    void buildEntries();
    void fillList();
    void selectPath(const std::string& path);
    std::string currentChoice() const;
    void keepChoice();
    void updateNote();
    Language shownLanguage() const;
    QString text(TextId id) const;

    PortScanner scanner_;
    PortMap map_;
    int com_ = 1;
    int language_ = 1;
    bool showing_ = false;
    bool filling_ = false;  // the list is being rebuilt: its changes are not the operator's
    std::vector<SerialDevice> found_;
    std::vector<Entry> entries_;

    QComboBox* list_ = nullptr;
    QLabel* note_ = nullptr;
    std::unique_ptr<DeviceChangeWatch> watch_;  // while shown
};

}  // namespace dravolin
