#include "app/version_record.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>

namespace dravolin {

namespace {

// A record is small; anything larger is not ours.
constexpr qint64 kLargestRecord = 64 * 1024;

}  // namespace

std::optional<VersionRecord> VersionRecord::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestRecord) {
        return std::nullopt;
    }
    return fromJson(file.read(kLargestRecord));
}

std::optional<VersionRecord> VersionRecord::fromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return VersionRecord(document.object());
}

std::optional<std::string> VersionRecord::value(std::string_view path) const {
    const QStringList parts =
        QString::fromUtf8(path.data(), qsizetype(path.size())).split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        return std::nullopt;
    }
    QJsonValue node = root_;
    for (const QString& part : parts) {
        if (!node.isObject()) {
            return std::nullopt;
        }
        node = node.toObject().value(part);
    }
    if (!node.isString()) {
        return std::nullopt;
    }
    return node.toString().toStdString();
}

}  // namespace dravolin
