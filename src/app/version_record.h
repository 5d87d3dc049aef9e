#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace dravolin {

// The program's version record: a fixed part and string tables by language and code page,
// compiled into the program as a resource. Values are looked up by paths such as
// "\StringFileInfo\040704b0\FileVersion".
class VersionRecord {
public:
    // Nothing when the record is missing or unreadable.
    static std::optional<VersionRecord> load(const QString& path);
    static std::optional<VersionRecord> fromJson(const QByteArray& json);

    // The text at `path`; nothing when the path names no text.
    std::optional<std::string> value(std::string_view path) const;

private:
    explicit VersionRecord(QJsonObject root) : root_(std::move(root)) {}

    QJsonObject root_;
};

}  // namespace dravolin
