#include "core/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace dravolin {

namespace {

const QString kLinePort = QStringLiteral("line/port");
const QString kLineBaud = QStringLiteral("line/baud");
const QString kLineParity = QStringLiteral("line/parity");
const QString kLineStopBits = QStringLiteral("line/stopBits");
const QString kPortsGroup = QStringLiteral("ports");
const QString kFoldersGroup = QStringLiteral("folders");
// More damaged files than this in one folder say something else is wrong.
constexpr int kDamagedBackups = 1000;

// A whole number from the file, or nothing when the value is missing or not one.
std::optional<int> wholeNumber(const QSettings& file, const QString& key) {
    if (!file.contains(key)) {
        return std::nullopt;
    }
    bool ok = false;
    const int value = file.value(key).toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QString shownEntry(const QSettings& file, const QString& key) {
    return key + "=" + file.value(key).toString();
}

}  // namespace

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {}

void SettingsFile::load() {
    settings_ = SavedSettings{};
    warning_.clear();
    damaged_ = false;
    QSettings file(path_, QSettings::IniFormat);
    file.allKeys();  // reads the file now, so that its state is known
    if (file.status() != QSettings::NoError) {
        damaged_ = true;
        const char* what =
            file.status() == QSettings::AccessError ? "cannot be read" : "is damaged";
        warning_ = "the settings file " + path_.toStdString() + " " + what +
                   "; using the defaults, and leaving it as it is until new port settings are "
                   "confirmed";
        return;
    }
    QStringList ignored;
    readLine(file, ignored);
    readPortDevices(file, ignored);
    readFolders(file);
    if (!ignored.isEmpty()) {
        warning_ =
            "the settings file " + path_.toStdString() + " holds values that make no sense (" +
            ignored.join(QStringLiteral(", ")).toStdString() + "); using the defaults for those";
    }
}

void SettingsFile::readLine(const QSettings& file, QStringList& ignored) {
    PortSettings& line = settings_.line;
    if (const auto port = wholeNumber(file, kLinePort); port && *port >= 1 && *port <= 4) {
        line.port = *port;
    } else if (file.contains(kLinePort)) {
        ignored << shownEntry(file, kLinePort);
    }
    const auto baud = wholeNumber(file, kLineBaud);
    if (baud && (*baud == 9600 || *baud == 19200 || *baud == 38400 || *baud == 57600)) {
        line.baudRate = *baud;
    } else if (file.contains(kLineBaud)) {
        ignored << shownEntry(file, kLineBaud);
    }
    const QString parity = file.value(kLineParity).toString().trimmed();
    if (parity == "O" || parity == "E" || parity == "N") {
        line.parity = parity.at(0).toLatin1();
    } else if (file.contains(kLineParity)) {
        ignored << shownEntry(file, kLineParity);
    }
    if (const auto stop = wholeNumber(file, kLineStopBits); stop && (*stop == 1 || *stop == 2)) {
        line.stopBits = *stop;
    } else if (file.contains(kLineStopBits)) {
        ignored << shownEntry(file, kLineStopBits);
    }
}

void SettingsFile::readPortDevices(QSettings& file, QStringList& ignored) {
    file.beginGroup(kPortsGroup);
    for (const QString& key : file.childKeys()) {
        bool ok = false;
        const int port = key.startsWith(QStringLiteral("com")) ? key.mid(3).toInt(&ok) : 0;
        const QString device = file.value(key).toString();
        if (ok && port >= 1 && !device.isEmpty()) {
            settings_.portDevices[port] = device.toStdString();
        } else {
            ignored << kPortsGroup + "/" + key + "=" + device;
        }
    }
    file.endGroup();
}

void SettingsFile::readFolders(QSettings& file) {
    file.beginGroup(kFoldersGroup);
    for (const QString& key : file.childKeys()) {
        const QString folder = file.value(key).toString();
        if (!folder.isEmpty()) {
            settings_.folders[key.toStdString()] = folder.toStdString();
        }
    }
    file.endGroup();
}

bool SettingsFile::saveConfirmed(const PortSettings& line,
                                 const std::map<int, std::string>& portDevices) {
    settings_.line = line;
    settings_.portDevices = portDevices;
    if (damaged_ && !moveDamagedFileAside()) {
        return false;
    }
    QSettings file(path_, QSettings::IniFormat);
    file.setValue(kLinePort, line.port);
    file.setValue(kLineBaud, line.baudRate);
    file.setValue(kLineParity, QString(QChar(line.parity)));
    file.setValue(kLineStopBits, line.stopBits);
    file.remove(kPortsGroup);
    for (const auto& [port, device] : portDevices) {
        file.setValue(kPortsGroup + "/com" + QString::number(port), QString::fromStdString(device));
    }
    // What a damaged file held is gone from memory; the folders of this run take its place.
    if (damaged_) {
        for (const auto& [dialog, folder] : settings_.folders) {
            file.setValue(kFoldersGroup + "/" + QString::fromStdString(dialog),
                          QString::fromStdString(folder));
        }
    }
    if (!finishWrite(file)) {
        return false;
    }
    damaged_ = false;
    return true;
}

bool SettingsFile::saveFolder(const std::string& dialog, const std::string& folder) {
    settings_.folders[dialog] = folder;
    if (damaged_) {
        return true;  // kept for this run; the file waits for confirmed settings
    }
    QSettings file(path_, QSettings::IniFormat);
    file.setValue(kFoldersGroup + "/" + QString::fromStdString(dialog),
                  QString::fromStdString(folder));
    return finishWrite(file);
}

bool SettingsFile::moveDamagedFileAside() {
    const QFileInfo info(path_);
    if (!info.exists() || info.isDir()) {
        return true;  // nothing to keep, or nothing we could write over anyway
    }
    // A backup kept from an earlier damage is the operator's too: each gets its own number
    // (dravolin.conf.damaged, .damaged.1, ...), and a rename never replaces one.
    const QString first = path_ + QStringLiteral(".damaged");
    for (int number = 0; number < kDamagedBackups; ++number) {
        const QString aside = number == 0 ? first : first + "." + QString::number(number);
        if (!QFileInfo::exists(aside) && QFile::rename(path_, aside)) {
            return true;
        }
    }
    saveError_ = "cannot keep the damaged settings file beside " + first.toStdString();
    return false;
}

bool SettingsFile::finishWrite(QSettings& file) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    file.sync();
    if (file.status() != QSettings::NoError) {
        saveError_ = "cannot write the settings file " + path_.toStdString();
        return false;
    }
    saveError_.clear();
    return true;
}

}  // namespace dravolin
