#include "cli/find_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "protocol/path_text.h"

namespace dravolin {

namespace {

// The words of a reason are shown forms already (paths, the system's texts).
std::string skipReason(const DeviceFindings& device, Language language) {
    return device.skipped ? asOneLine(MessageCatalog(language).lookup(*device.skipped))
                          : std::string();
}

}  // namespace

std::string foundAsText(const SearchResult::Found& found) {
    return shownPath(found.shownName) + "\t" + found.line.text() + "\t" +
           std::to_string(found.fileCount) + "\n";
}

std::vector<std::string> triedLines(const SearchResult& result, Language language) {
    const MessageCatalog catalog(language);
    std::vector<std::string> lines;
    for (const DeviceFindings& device : result.devices) {
        const std::string name = shownPath(device.shownName);
        if (device.skipped) {
            lines.push_back(catalog.lookup(
                FilledText{TextId::RunSkippedLine, {name, skipReason(device, language)}}));
        } else {
            lines.push_back(catalog.lookup(
                FilledText{TextId::FindTriedLine, {name, std::to_string(device.tries)}}));
        }
        // A programmer that refuses is told apart from silence.
        if (std::string heard =
                lettersHeardLine(name, device.letters, language,
                                 [](const LineSettings& line) { return line.text(); });
            !heard.empty()) {
            lines.push_back(std::move(heard));
        }
    }
    return lines;
}

std::string searchAsJson(const SearchResult& result, Language language) {
    QJsonObject object;
    object["found"] = result.found.has_value();
    if (result.found) {
        const SearchResult::Found& found = *result.found;
        object["device"] = QString::fromStdString(found.shownName);
        object["path"] = QString::fromStdString(found.devicePath);
        object["baud"] = found.line.baudRate;
        object["parity"] = QString(QChar(found.line.parity));
        object["stopBits"] = found.line.stopBits;
        object["files"] = found.fileCount;
    } else {
        QJsonArray devices;
        for (const DeviceFindings& device : result.devices) {
            QJsonArray letters;
            for (const HeardLetter& heard : device.letters) {
                letters.append(
                    QJsonObject{{"letter", QString::fromStdString(shownStatusLetter(heard.letter))},
                                {"baud", heard.line.baudRate},
                                {"parity", QString(QChar(heard.line.parity))},
                                {"stopBits", heard.line.stopBits}});
            }
            QJsonObject tried{{"device", QString::fromStdString(device.shownName)},
                              {"path", QString::fromStdString(device.devicePath)},
                              {"tries", static_cast<qint64>(device.tries)},
                              {"letters", letters}};
            tried["skipped"] =
                device.skipped ? QJsonValue(QString::fromStdString(skipReason(device, language)))
                               : QJsonValue();
            devices.append(tried);
        }
        object["devices"] = devices;
        object["cancelled"] = result.cancelled;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

}  // namespace dravolin
