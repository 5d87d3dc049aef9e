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
    options.title = QString::fromStdString(catalog.lookup(request.title));
    options.nameFilters = qtNameFilters(catalog.lookup(request.filter));
    // The request counts filters from 1; anything outside the list falls back to the first.
    const int wanted = request.filterIndex - 1;
    options.selectedFilter = (wanted >= 0 && wanted < options.nameFilters.size()) ? wanted : 0;
    options.defaultSuffix = QString::fromStdString(catalog.lookup(request.defaultExtension));
    options.initialName = fileNameFromDeviceName(request.initialName);
    options.confirmOverwrite = options.save && (request.flags & kOverwritePrompt) != 0;
    return options;
}

}  // namespace dravolin
