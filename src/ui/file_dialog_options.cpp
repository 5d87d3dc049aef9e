#include "ui/file_dialog_options.h"

#include "protocol/safe_file_name.h"

namespace dravolin {

QStringList qtNameFilters(std::string_view filterList) {
    const QStringList parts = QString::fromUtf8(filterList.data(), qsizetype(filterList.size()))
                                  .split(u'|', Qt::KeepEmptyParts);
    QStringList filters;
    // Parts come in pairs; a trailing empty part (after the final '|') ends the list.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        QString pattern = parts[i + 1];
        if (name.isEmpty() || pattern.isEmpty()) {
            break;
        }
        pattern.replace(u';', u' ');
        if (pattern == u"*.*") {
            pattern = QStringLiteral("*");
        }
        filters.append(name + QStringLiteral(" (") + pattern + u')');
    }
    return filters;
}

QString fileNameFromDeviceName(std::string_view deviceName) {
    std::string refusal;
    const std::optional<std::string> name = fileNameForDeviceName(deviceName, refusal);
    return name ? QString::fromStdString(*name) : QString();
}

FileDialogOptions FileDialogOptions::fromRequest(const FileDialogRequest& request,
                                                 const MessageCatalog& catalog) {
    FileDialogOptions options;
    options.save = request.mode == FileDialogRequest::Mode::Save;
    options.title = QString::fromStdString(
        catalog.lookup(options.save ? TextId::SaveDialogTitle : TextId::OpenDialogTitle));
    options.nameFilters = qtNameFilters(catalog.lookup(TextId::FileFilter));
    // The second filter, the tag-data files', is the one chosen.
    options.selectedFilter = options.nameFilters.size() > 1 ? 1 : 0;
    options.defaultSuffix = QString::fromStdString(catalog.lookup(TextId::DefaultExtension));
    options.initialName = fileNameFromDeviceName(request.initialName);
    // A save never replaces a file unasked.
    options.confirmOverwrite = options.save;
    return options;
}

}  // namespace dravolin
