#include "serial/device_change_watch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace dravolin {

DeviceChangeWatch::DeviceChangeWatch(const std::filesystem::path& root,
                                     std::function<void()> onChange)
    : root_(root) {
    auto watcher = std::make_unique<QFileSystemWatcher>();
    QObject::connect(watcher.get(), &QFileSystemWatcher::directoryChanged, watcher.get(),
                     [onChange = std::move(onChange)] { onChange(); });
    watcher_ = std::move(watcher);
    followNewFolders();
}

DeviceChangeWatch::~DeviceChangeWatch() = default;

void DeviceChangeWatch::followNewFolders() {
    auto* watcher = static_cast<QFileSystemWatcher*>(watcher_.get());
    // /dev tells of devices coming and going; the by-id folders of their stable names,
    // which udev makes a moment later (and the folders themselves appear with the first).
    const QString root = QFile::decodeName(QByteArray::fromStdString(root_.string()));
    for (const char* folder : {"dev", "dev/serial", "dev/serial/by-id"}) {
        const QString path = QDir(root).filePath(QString::fromLatin1(folder));
        if (QFileInfo(path).isDir() && !watcher->directories().contains(path)) {
            watcher->addPath(path);
        }
    }
}

}  // namespace dravolin
