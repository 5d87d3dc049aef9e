#include "ui/port_settings_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>

#include "core/message_catalog.h"
#include "exchange/search_candidates.h"
#include "exchange/search_order.h"
#include "exchange/serial_line_try.h"
#include "exchange/transfer_progress.h"
#include "protocol/path_text.h"
#include "serial/port_lock.h"
#include "ui/device_chooser.h"
#include "ui/dialog_units.h"

namespace dravolin {

namespace {

constexpr int kBaudRates[] = {9600, 19200, 38400, 57600};
const QString kGermanTitle = QStringLiteral("Schnittstelle parametrieren");
constexpr int kParities[] = {'O', 'E', 'N'};

int baudIndexFor(int baudRate) {
    for (int i = 1; i < 4; ++i) {
        if (kBaudRates[i] == baudRate) {
            return i;
        }
    }
    return 0;
}

int parityIndexFor(int parity) {
    if (parity == 'E') {
        return 1;
    }
    return parity == 'N' ? 2 : 0;
}

int portIndexFor(int port) {
    return (port >= 2 && port <= 4) ? port - 1 : 0;
}

constexpr int kOfferedPorts = 4;

// Checks the button at `index`, or none when the group has no such button.
void checkIndex(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) {
        button->setChecked(false);
    }
    group->setExclusive(true);
}

}  // namespace

PortSettingsDialog::PortSettingsDialog(PortMap portMap, QWidget* parent)
    : QDialog(parent), portMap_(std::move(portMap)) {
    setWindowTitle(kGermanTitle);
    setModal(true);
    buildControls();
    buildSearchControls();
    // The line settings as they always were, below them the device of the Com port, and
    // at the bottom the search for the programmer.
    setFixedSize(DialogUnits(fontMetrics()).toPixels(QSize(257, 306)));
    markMissingDevices();
}

PortSettingsDialog::~PortSettingsDialog() {
    endSearch();
}

void PortSettingsDialog::setPortMap(PortMap portMap) {
    portMap_ = std::move(portMap);
    markMissingDevices();
}

void PortSettingsDialog::setScanner(PortScanner scanner) {
    deviceChooser_->setScanner(std::move(scanner));
    markMissingDevices();
}

QRect PortSettingsDialog::dialogRect(int x, int y, int width, int height) const {
    return DialogUnits(fontMetrics()).toPixels(QRect(x, y, width, height));
}

QPushButton* PortSettingsDialog::addPushButton(const QString& name, const QString& text,
                                               QRect rect) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setGeometry(rect);
    // Enter presses the button that has the focus, as every platform does, and OK when a
    // control other than a push button has it.
    button->setAutoDefault(true);
    return button;
}

QGroupBox* PortSettingsDialog::addGroupBox(const QString& name, const QString& title, QRect rect) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(name);
    box->setGeometry(rect);
    return box;
}

QRadioButton* PortSettingsDialog::addRadioButton(QButtonGroup* group, int index,
                                                 const QString& name, const QString& text,
                                                 QRect rect) {
    auto* button = new QRadioButton(text, this);
    button->setObjectName(name);
    button->setGeometry(rect);
    group->addButton(button, index);
    return button;
}

void PortSettingsDialog::buildControls() {
    okButton_ = addPushButton(QStringLiteral("okButton"), QStringLiteral("OK"),
                              dialogRect(180, 144, 69, 14));
    okButton_->setDefault(true);
    cancelButton_ = addPushButton(QStringLiteral("cancelButton"), QStringLiteral("Abbrechen"),
                                  dialogRect(180, 162, 69, 14));
    connect(okButton_, &QPushButton::clicked, this, &PortSettingsDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &PortSettingsDialog::reject);

    baudGroup_ = new QButtonGroup(this);
    baudBox_ = addGroupBox(QStringLiteral("baudRateGroup"), QStringLiteral("&Baudrate"),
                           dialogRect(5, 94, 85, 85));
    for (int index = 0; index < 4; ++index) {
        const int rate = kBaudRates[index];
        addRadioButton(baudGroup_, index, QStringLiteral("baud%1").arg(rate),
                       QStringLiteral("%1 baud").arg(rate),
                       dialogRect(20, 111 + 16 * index, 63, 12));
    }

    // The programmer speaks 8 data bits only: the group shows that one choice.
    dataBitsBox_ = addGroupBox(QStringLiteral("dataBitsGroup"), QStringLiteral("&Data bit"),
                               dialogRect(102, 4, 69, 41));
    auto* dataBits8 = new QRadioButton(QStringLiteral("8"), this);
    dataBits8->setObjectName(QStringLiteral("dataBits8"));
    dataBits8->setGeometry(dialogRect(120, 22, 21, 12));
    dataBits8->setChecked(true);

    stopBitsGroup_ = new QButtonGroup(this);
    stopBitsBox_ = addGroupBox(QStringLiteral("stopBitsGroup"), QStringLiteral("&Stop bit"),
                               dialogRect(102, 50, 69, 55));
    addRadioButton(stopBitsGroup_, 0, QStringLiteral("stopBits1"), QStringLiteral("1"),
                   dialogRect(120, 66, 21, 12));
    addRadioButton(stopBitsGroup_, 1, QStringLiteral("stopBits2"), QStringLiteral("2"),
                   dialogRect(120, 84, 21, 12));

    parityGroup_ = new QButtonGroup(this);
    parityBox_ = addGroupBox(QStringLiteral("parityGroup"), QStringLiteral("&Parity"),
                             dialogRect(102, 109, 69, 70));
    addRadioButton(parityGroup_, 0, QStringLiteral("parityOdd"), QStringLiteral("odd"),
                   dialogRect(120, 122, 45, 12));
    addRadioButton(parityGroup_, 1, QStringLiteral("parityEven"), QStringLiteral("even"),
                   dialogRect(120, 141, 45, 12));
    addRadioButton(parityGroup_, 2, QStringLiteral("parityNone"), QStringLiteral("none"),
                   dialogRect(120, 159, 45, 12));

    portGroup_ = new QButtonGroup(this);
    portBox_ =
        addGroupBox(QStringLiteral("portGroup"), QStringLiteral("Port"), dialogRect(5, 4, 85, 85));
    for (int index = 0; index < kOfferedPorts; ++index) {
        const int port = index + 1;
        // Wide enough for the mark of a missing device.
        QRadioButton* button = addRadioButton(portGroup_, index, QStringLiteral("com%1").arg(port),
                                              QStringLiteral("Com %1").arg(port),
                                              dialogRect(20, 19 + 17 * index, 64, 10));
        button->setFocusPolicy(Qt::ClickFocus);
    }

    deviceChooser_ = new DeviceChooser(this);
    deviceChooser_->setObjectName(QStringLiteral("deviceGroup"));
    deviceChooser_->setGeometry(dialogRect(5, 184, 247, 60));
    connect(portGroup_, &QButtonGroup::idClicked, this,
            [this](int index) { deviceChooser_->showCom(index + 1); });
    connect(deviceChooser_, &DeviceChooser::devicesChanged, this,
            &PortSettingsDialog::markMissingDevices);
}

void PortSettingsDialog::markMissingDevices() {
    // While shown, the choices made so far count; otherwise the devices as they stand.
    const bool editing = isVisible();
    for (int port = 1; port <= kOfferedPorts; ++port) {
        QAbstractButton* button = portGroup_->button(port - 1);
        const std::string path =
            editing ? deviceChooser_->chosenMap().devicePath(port) : portMap_.devicePath(port);
        const bool missing =
            editing ? deviceChooser_->deviceMissing(port) : !deviceChooser_->scanner().exists(path);
        const QString device = QString::fromStdString(path);
        // Says which device a Com port stands for here, and whether it is there.
        const Language language = settings_.language == 0 ? Language::German : Language::English;
        const QString mark =
            QString::fromStdString(MessageCatalog(language).lookup(TextId::DeviceMissing));
        button->setToolTip(missing ? device + QStringLiteral(" (") + mark + QStringLiteral(")")
                                   : device);
        button->setIcon(missing ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
        button->setProperty("deviceMissing", missing);
    }
}

void PortSettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    indicesIntoControls();
    setCaptions();
    indicesFromSettings();
    indicesIntoControls();
    // The devices are looked for afresh at every showing, and followed while it lasts.
    deviceChooser_->begin(portMap_, portIndex_ + 1, settings_.language);
    markMissingDevices();
    found_.reset();
    showFoundOffer(false);
    findStatus_->clear();
    findStatus_->setToolTip(QString());
    findButton_->setText(caption(TextId::FindButton));
    findButton_->setVisible(searchPresenter_ != nullptr);
    okButton_->setFocus();
}

void PortSettingsDialog::accept() {
    indicesFromControls();
    settingsFromIndices();
    const PortMap chosen = deviceChooser_->chosenMap();
    changedPorts_.clear();
    std::set<int> ports{1, 2, 3, 4};
    for (const auto& [port, path] : chosen.mappings()) {
        ports.insert(port);
    }
    for (const auto& [port, path] : portMap_.mappings()) {
        ports.insert(port);
    }
    for (const int port : ports) {
        if (chosen.devicePath(port) != portMap_.devicePath(port)) {
            changedPorts_.insert(port);
        }
    }
    portMap_ = chosen;
    QDialog::accept();
}

void PortSettingsDialog::done(int result) {
    if (search_ && search_->running()) {
        search_->cancel();
    }
    deviceChooser_->end();
    QDialog::done(result);
    markMissingDevices();
}

void PortSettingsDialog::setCaptions() {
    // A language number other than 0 and 1 leaves every caption as built.
    if (settings_.language != 0 && settings_.language != 1) {
        return;
    }
    const bool german = settings_.language == 0;
    cancelButton_->setText(german ? QStringLiteral("Abbrechen") : QStringLiteral("Cancel"));

    const MessageCatalog catalog(german ? Language::German : Language::English);
    const auto caption = [&catalog](TextId id) {
        return QString::fromStdString(catalog.lookup(id));
    };
    setWindowTitle(caption(TextId::SettingsTitle));
    baudBox_->setTitle(caption(TextId::BaudRateGroup));
    dataBitsBox_->setTitle(caption(TextId::DataBitsGroup));
    stopBitsBox_->setTitle(caption(TextId::StopBitsGroup));
    parityBox_->setTitle(caption(TextId::ParityGroup));
    portBox_->setTitle(caption(TextId::PortGroup));
    for (int index = 0; index < 4; ++index) {
        baudGroup_->button(index)->setText(
            QStringLiteral("%1 %2").arg(kBaudRates[index]).arg(caption(TextId::BaudUnit)));
    }
    parityGroup_->button(0)->setText(caption(TextId::ParityOdd));
    parityGroup_->button(1)->setText(caption(TextId::ParityEven));
    parityGroup_->button(2)->setText(caption(TextId::ParityNone));
}

void PortSettingsDialog::indicesFromSettings() {
    portIndex_ = portIndexFor(settings_.port);
    baudIndex_ = baudIndexFor(settings_.baudRate);
    parityIndex_ = parityIndexFor(settings_.parity);
    stopBitsIndex_ = settings_.stopBits == 2 ? 1 : 0;
}

void PortSettingsDialog::settingsFromIndices() {
    // With no port button checked the port stays as it was.
    if (portIndex_ >= 0 && portIndex_ <= 3) {
        settings_.port = portIndex_ + 1;
    }
    settings_.baudRate = (baudIndex_ >= 1 && baudIndex_ <= 3) ? kBaudRates[baudIndex_] : 9600;
    settings_.dataBits = 8;
    settings_.parity = (parityIndex_ == 0 || parityIndex_ == 1) ? kParities[parityIndex_] : 'N';
    settings_.stopBits = stopBitsIndex_ == 1 ? 2 : 1;
}

void PortSettingsDialog::indicesIntoControls() {
    checkIndex(baudGroup_, baudIndex_);
    checkIndex(parityGroup_, parityIndex_);
    checkIndex(stopBitsGroup_, stopBitsIndex_);
    checkIndex(portGroup_, portIndex_);
}

void PortSettingsDialog::indicesFromControls() {
    baudIndex_ = baudGroup_->checkedId();
    parityIndex_ = parityGroup_->checkedId();
    stopBitsIndex_ = stopBitsGroup_->checkedId();
    portIndex_ = portGroup_->checkedId();
}

void PortSettingsDialog::enableSearch(WarningPresenter& presenter, SearchObservers observers,
                                      SearchRecord record) {
    searchPresenter_ = &presenter;
    searchObservers_ = std::move(observers);
    searchRecord_ = std::move(record);
}

void PortSettingsDialog::endSearch() {
    if (search_ && search_->running()) {
        // Nobody is left to be shown the end.
        search_->onProgress({});
        search_->onFinished({});
        search_->cancel();
    }
    search_.reset();
    lineTry_.reset();
}

void PortSettingsDialog::buildSearchControls() {
    findButton_ =
        addPushButton(QStringLiteral("findButton"), QString(), dialogRect(5, 250, 95, 14));
    findButton_->setVisible(false);
    connect(findButton_, &QPushButton::clicked, this, &PortSettingsDialog::startOrCancelSearch);
    findStatus_ = new QLabel(this);
    findStatus_->setObjectName(QStringLiteral("findStatus"));
    findStatus_->setWordWrap(true);
    findStatus_->setTextFormat(Qt::PlainText);
    findStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Four lines: the second pass's note above a try, each of them up to two lines long.
    findStatus_->setGeometry(dialogRect(105, 247, 147, 36));

    takeLabel_ = new QLabel(this);
    takeLabel_->setGeometry(dialogRect(5, 290, 128, 10));
    takeCom_ = new QComboBox(this);
    takeCom_->setObjectName(QStringLiteral("takeCom"));
    takeCom_->setGeometry(dialogRect(136, 288, 54, 14));
    for (int port = 1; port <= kOfferedPorts; ++port) {
        takeCom_->addItem(QStringLiteral("Com %1").arg(port), port);
    }
    takeLabel_->setBuddy(takeCom_);
    takeButton_ =
        addPushButton(QStringLiteral("takeButton"), QString(), dialogRect(195, 288, 57, 14));
    connect(takeButton_, &QPushButton::clicked, this, &PortSettingsDialog::takeFound);
    showFoundOffer(false);
}

QString PortSettingsDialog::caption(TextId id) const {
    return caption(FilledText{id, {}});
}

QString PortSettingsDialog::caption(const FilledText& text) const {
    const Language language = settings_.language == 0 ? Language::German : Language::English;
    return QString::fromStdString(MessageCatalog(language).lookup(text));
}

void PortSettingsDialog::startOrCancelSearch() {
    if (search_ && search_->running()) {
        search_->cancel();
    } else {
        startSearch();
    }
}

void PortSettingsDialog::startSearch() {
    found_.reset();
    showFoundOffer(false);
    // The settings as chosen in the dialog so far come first, and so do the devices the
    // Com ports stand for that the scan does not list.
    indicesFromControls();
    const PortSettings saved = settings_;
    settingsFromIndices();
    const LineSettings first{settings_.baudRate, static_cast<char>(settings_.parity),
                             settings_.stopBits};
    settings_ = saved;
    // Only the devices the operator named: a Com port's default /dev/ttyS(n-1) is asked
    // only when the scan finds a UART there.
    std::vector<std::string> chosen;
    const PortMap map = deviceChooser_->chosenMap();
    for (const auto& [port, path] : map.mappings()) {
        chosen.push_back(path);
    }
    const SearchCandidates candidates(deviceChooser_->scanner(), PortLock::defaultFolder());
    std::vector<SearchCandidate> devices = candidates.discovered(chosen);
    if (devices.empty()) {
        showFindNote(TextId::FindNoDevices);
        return;
    }
    search_.reset();
    lineTry_ = std::make_unique<SerialLineTry>(*searchPresenter_);
    for (ExchangeObserver* observer : searchObservers_()) {
        lineTry_->addObserver(*observer);
    }
    search_ = std::make_unique<ProgrammerSearch>(*lineTry_, std::move(devices), searchOrder(first));
    search_->onProgress([this](const SearchProgress& step) { showSearchProgress(step); });
    search_->onFinished([this](const SearchResult& result) { searchEnded(result); });
    search_->onRecord(searchRecord_);
    findButton_->setText(caption(TextId::CancelButton));
    search_->start();
}

std::string PortSettingsDialog::shownLine(const LineSettings& line) const {
    const Language language = settings_.language == 0 ? Language::German : Language::English;
    return lineSettingsText(line.baudRate, line.parity, line.stopBits, language);
}

void PortSettingsDialog::showFindStatus(const QString& heading, FilledText text,
                                        const QString& tail) {
    // The device (the first word filled in) gives way from its middle until the whole text
    // fits, so that the settings and the count of tries stay readable; the tooltip has it
    // all.
    const QString device = QString::fromStdString(text.arguments.at(0));
    const QFontMetrics metrics = findStatus_->fontMetrics();
    const QRect room = findStatus_->contentsRect();
    const auto shownWith = [&](const QString& shownDevice) {
        text.arguments[0] = shownDevice.toStdString();
        return heading + caption(text) + tail;
    };
    const auto fits = [&](const QString& shown) {
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20), Qt::TextWordWrap, shown);
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    const QString whole = shownWith(device);
    QString shown = whole;
    if (!fits(shown)) {
        // The widest shortening that fits.
        int narrow = 0;
        int wide = metrics.horizontalAdvance(device);
        while (narrow < wide) {
            const int middle = (narrow + wide + 1) / 2;
            if (fits(shownWith(metrics.elidedText(device, Qt::ElideMiddle, middle)))) {
                narrow = middle;
            } else {
                wide = middle - 1;
            }
        }
        shown = shownWith(metrics.elidedText(device, Qt::ElideMiddle, narrow));
    }
    findStatus_->setText(shown);
    findStatus_->setToolTip(shown == whole ? QString() : whole);
}

void PortSettingsDialog::showFindNote(TextId id) {
    findStatus_->setText(caption(id));
    findStatus_->setToolTip(QString());
}

void PortSettingsDialog::showSearchProgress(const SearchProgress& step) {
    const QString heading =
        step.pass == 2 ? caption(TextId::FindSecondPass) + QLatin1Char('\n') : QString();
    const Language language = settings_.language == 0 ? Language::German : Language::English;
    showFindStatus(heading,
                   FilledText{TextId::FindProgress,
                              {shownPath(step.shownName), shownLine(step.line),
                               std::to_string(step.tryNumber), std::to_string(step.tryCount)}},
                   QString::fromStdString(timeLeftText(step.secondsLeft, language)));
}

void PortSettingsDialog::searchEnded(const SearchResult& result) {
    findButton_->setText(caption(TextId::FindButton));
    if (result.cancelled) {
        showFindNote(TextId::FindCancelled);
        return;
    }
    if (!result.found) {
        // A programmer that refuses is told apart from silence.
        QString text = caption(TextId::FindNothing);
        for (const DeviceFindings& device : result.devices) {
            const std::string heard =
                lettersHeardLine(shownPath(device.shownName), device.letters,
                                 settings_.language == 0 ? Language::German : Language::English,
                                 [this](const LineSettings& line) { return shownLine(line); });
            if (!heard.empty()) {
                text += QLatin1Char('\n') + QString::fromStdString(heard);
            }
        }
        findStatus_->setText(text);
        findStatus_->setToolTip(text);
        return;
    }
    found_ = result.found;
    showFindStatus(QString(), FilledText{TextId::FindFound,
                                         {shownPath(found_->shownName), shownLine(found_->line),
                                          std::to_string(found_->fileCount)}});
    takeCom_->setCurrentIndex(std::max(portGroup_->checkedId(), 0));
    showFoundOffer(true);
    takeButton_->setFocus();
}

void PortSettingsDialog::showFoundOffer(bool shown) {
    takeLabel_->setText(caption(TextId::FindTakeQuestion));
    takeButton_->setText(caption(TextId::FindTakeButton));
    for (QWidget* widget : std::initializer_list<QWidget*>{takeLabel_, takeCom_, takeButton_}) {
        widget->setVisible(shown);
    }
}

void PortSettingsDialog::takeFound() {
    if (!found_) {
        return;
    }
    // Into the controls only: OK confirms them, as every other choice in the dialog.
    const int com = takeCom_->currentData().toInt();
    baudIndex_ = baudIndexFor(found_->line.baudRate);
    parityIndex_ = parityIndexFor(found_->line.parity);
    stopBitsIndex_ = found_->line.stopBits == 2 ? 1 : 0;
    portIndex_ = portIndexFor(com);
    indicesIntoControls();
    // The stable name where there is one: it stays right whichever socket the adapter is in.
    deviceChooser_->takeDevice(com, found_->shownName);
    markMissingDevices();
    showFoundOffer(false);
    okButton_->setFocus();
}

}  // namespace dravolin
