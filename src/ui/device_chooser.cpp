#include "ui/device_chooser.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace dravolin {

namespace {

// Paths are UTF-8 text in the programs, on every system.
QString fromPath(const std::string& path) {
    return QString::fromStdString(path);
}

std::string toPath(const QString& text) {
    return text.toStdString();
}

}  // namespace

DeviceChooser::DeviceChooser(QWidget* parent) : QGroupBox(parent) {
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("deviceList"));
    list_->setEditable(true);
    list_->setInsertPolicy(QComboBox::NoInsert);  // a typed path is a choice, not an entry
    list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("deviceNote"));
    note_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(note_, 1, Qt::AlignTop);

    connect(list_, &QComboBox::currentTextChanged, this, [this] {
        if (filling_) {
            return;
        }
        keepChoice();
        updateNote();
        emit devicesChanged();
    });
}

Language DeviceChooser::shownLanguage() const {
    return language_ == 0 ? Language::German : Language::English;
}

QString DeviceChooser::text(TextId id) const {
    return QString::fromStdString(MessageCatalog(shownLanguage()).lookup(id));
}

void DeviceChooser::begin(const PortMap& map, int com, int language) {
    map_ = map;
    com_ = com;
    language_ = language;
    showing_ = true;
    setTitle(text(TextId::DeviceGroupTitle).arg(com_));
    watch_ = std::make_unique<DeviceChangeWatch>(scanner_.root(), [this] { refresh(); });
    refresh();
}

void DeviceChooser::end() {
    showing_ = false;
    watch_.reset();
}

void DeviceChooser::refresh() {
    found_ = scanner_.scan();
    buildEntries();
    fillList();
    if (watch_) {
        watch_->followNewFolders();
    }
    updateNote();
    emit devicesChanged();
}

void DeviceChooser::showCom(int com) {
    keepChoice();
    com_ = com;
    showChoice();
}

void DeviceChooser::takeDevice(int com, const std::string& path) {
    keepChoice();
    map_.map(com, path);
    com_ = com;
    showChoice();
}

void DeviceChooser::showChoice() {
    setTitle(text(TextId::DeviceGroupTitle).arg(com_));
    buildEntries();
    fillList();
    updateNote();
    emit devicesChanged();
}

PortMap DeviceChooser::chosenMap() {
    keepChoice();
    return map_;
}

bool DeviceChooser::deviceMissing(int com) {
    if (com == com_) {
        keepChoice();
    }
    return !scanner_.exists(map_.devicePath(com));
}

void DeviceChooser::buildEntries() {
    entries_.clear();
    for (const SerialDevice& device : found_) {
        const std::string path = device.byIdPath.empty() ? device.path : device.byIdPath;
        entries_.push_back({fromPath(device.shownName()) + QStringLiteral("  —  ") +
                                fromPath(device.description(shownLanguage())),
                            path});
    }
    // The devices chosen before that the scan does not list: a pseudo-terminal, a path
    // typed in, an adapter that is not plugged in.
    std::vector<std::string> chosen;
    for (const auto& [port, path] : map_.mappings()) {
        chosen.push_back(path);
    }
    chosen.push_back(map_.devicePath(com_));
    for (const std::string& path : chosen) {
        const std::string resolved = scanner_.resolve(path);
        const bool listed =
            std::any_of(entries_.begin(), entries_.end(),
                        [&](const Entry& entry) { return entry.path == path; }) ||
            std::any_of(found_.begin(), found_.end(),
                        [&](const SerialDevice& device) { return device.path == resolved; });
        if (listed || path.empty()) {
            continue;
        }
        QString state = text(TextId::DeviceMissing);
        if (scanner_.exists(path)) {
            state =
                resolved.starts_with("/dev/pts/") ? text(TextId::DevicePseudoTerminal) : QString();
        }
        entries_.push_back(
            {state.isEmpty() ? fromPath(path) : fromPath(path) + QStringLiteral("  —  ") + state,
             path});
    }
}

void DeviceChooser::fillList() {
    filling_ = true;
    list_->clear();
    for (const Entry& entry : entries_) {
        list_->addItem(entry.text, fromPath(entry.path));
    }
    selectPath(map_.devicePath(com_));
    filling_ = false;
}

void DeviceChooser::selectPath(const std::string& path) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].path == path) {
            list_->setCurrentIndex(static_cast<int>(i));
            return;
        }
    }
    list_->setCurrentIndex(-1);
    list_->setEditText(fromPath(path));
}

std::string DeviceChooser::currentChoice() const {
    const QString text = list_->currentText().trimmed();
    for (const Entry& entry : entries_) {
        if (entry.text == text) {
            return entry.path;
        }
    }
    return toPath(text);
}

void DeviceChooser::keepChoice() {
    const std::string choice = currentChoice();
    if (choice.empty()) {
        map_.unmap(com_);  // nothing typed: the port's own device
    } else if (choice != map_.devicePath(com_)) {
        map_.map(com_, choice);
    }
}

void DeviceChooser::updateNote() {
    const std::string path = currentChoice();
    if (path.empty()) {
        note_->clear();
        return;
    }
    const std::string resolved = scanner_.resolve(path);
    for (const SerialDevice& device : found_) {
        if (device.path == resolved) {
            note_->setText(fromPath(device.path) + QStringLiteral(": ") +
                           fromPath(device.description(shownLanguage())));
            return;
        }
    }
    if (!scanner_.exists(path)) {
        const Language language = language_ == 0 ? Language::German : Language::English;
        note_->setText(QString::fromStdString(
            MessageCatalog(language).lookup(FilledText{TextId::PortMissing, {path}})));
    } else {
        const TextId what = resolved.starts_with("/dev/pts/") ? TextId::DevicePseudoTerminal
                                                              : TextId::DeviceNotListed;
        note_->setText(fromPath(path) + QStringLiteral(": ") + text(what));
    }
}

}  // namespace dravolin
