#include "ui/window_settings.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "core/settings_file.h"
#include "serial/serial_port.h"
#include "ui/port_settings_dialog.h"

namespace dravolin {

std::string nativePathText(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

WindowSettings::WindowSettings(PortMap commandLinePorts, SerialPort& port,
                               PortSettingsDialog& dialog)
    : port_(port), dialog_(dialog), commandLinePorts_(std::move(commandLinePorts)) {}

void WindowSettings::use(SettingsFile& file) {
    settingsFile_ = &file;
    const SavedSettings& saved = file.settings();
    PortSettings& settings = dialog_.settings();
    const std::int32_t language = settings.language;
    settings = saved.line;
    settings.language = language;
    savedPorts_ = saved.portDevices;
    folders_ = saved.folders;
    applyPortMap();
}

void WindowSettings::applyPortMap() {
    // The operator's saved choices, with the command line's for this run on top.
    PortMap map;
    for (const auto& [port, device] : savedPorts_) {
        map.map(port, device);
    }
    for (const auto& [port, device] : commandLinePorts_.mappings()) {
        map.map(port, device);
    }
    port_.setPortMap(map);
    dialog_.setPortMap(map);
}

void WindowSettings::takePortSettings() {
    // A device the operator chose in the dialog replaces one given on the command line.
    const PortMap& chosen = dialog_.portMap();
    for (const int port : dialog_.changedPorts()) {
        const auto mapped = chosen.mappings().find(port);
        if (mapped != chosen.mappings().end()) {
            savedPorts_[port] = mapped->second;
        } else {
            savedPorts_.erase(port);
        }
        commandLinePorts_.unmap(port);
    }
    applyPortMap();
    if (settingsFile_ != nullptr &&
        !settingsFile_->saveConfirmed(dialog_.settings(), savedPorts_)) {
        std::fprintf(stderr, "dravolin: %s\n", settingsFile_->saveError().c_str());
    }
}

void WindowSettings::rememberFolder(const std::string& dialog, const QString& chosenPath) {
    const std::string folder = nativePathText(QFileInfo(chosenPath).absolutePath());
    folders_[dialog] = folder;
    if (settingsFile_ != nullptr && !settingsFile_->saveFolder(dialog, folder)) {
        std::fprintf(stderr, "dravolin: %s\n", settingsFile_->saveError().c_str());
    }
}

QString WindowSettings::dialogFolder(std::initializer_list<const char*> dialogs) const {
    for (const char* dialog : dialogs) {
        if (const auto folder = folders_.find(dialog); folder != folders_.end()) {
            return QString::fromStdString(folder->second);
        }
    }
    return SettingsFile::firstDialogFolder();
}

}  // namespace dravolin
