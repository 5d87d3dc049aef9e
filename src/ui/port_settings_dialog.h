#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "core/message_catalog.h"
#include "core/port_settings.h"
#include "exchange/programmer_search.h"
#include "serial/port_map.h"
#include "serial/port_scanner.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace dravolin {

class DeviceChooser;
class ExchangeObserver;
class SerialLineTry;
class WarningPresenter;

// The modal dialog in which the operator picks the serial line parameters and the device
// each Com port stands for, and the one store of the current PortSettings. Each showing
// starts from the stored settings; only OK changes them.
class PortSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit PortSettingsDialog(PortMap portMap = {}, QWidget* parent = nullptr);
    ~PortSettingsDialog() override;

    PortSettings& settings() { return settings_; }
    const PortSettings& settings() const { return settings_; }

    // Which device each Com port stands for; OK keeps the operator's changes here.
    void setPortMap(PortMap portMap);
    const PortMap& portMap() const { return portMap_; }
    // The Com ports whose device the last OK changed.
    const std::set<int>& changedPorts() const { return changedPorts_; }

    // Where the devices offered are looked for (the machine itself by default).
    void setScanner(PortScanner scanner);

    // The trace while it is on: told of every try of the search.
    using SearchObservers = std::function<std::vector<ExchangeObserver*>()>;
    // Takes each search as one record, for the transfer log.
    using SearchRecord = std::function<void(const ExchangeRecord&)>;
    // Offers "Find the programmer": its tries warn through `presenter` and are told to
    // `observers`, and each search ends in one call of `record`. Without this the button
    // is not shown.
    void enableSearch(WarningPresenter& presenter, SearchObservers observers, SearchRecord record);
    // Ends a search that runs (as cancelled) and lets go of its devices; its record is
    // told. For an owner that goes before this dialog does.
    void endSearch();

    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QRect dialogRect(int x, int y, int width, int height) const;
    QPushButton* addPushButton(const QString& name, const QString& text, QRect rect);
    QGroupBox* addGroupBox(const QString& name, const QString& title, QRect rect);
    QRadioButton* addRadioButton(QButtonGroup* group, int index, const QString& name,
                                 const QString& text, QRect rect);
    void buildControls();
    void markMissingDevices();
    void buildSearchControls();
    void startOrCancelSearch();
    void startSearch();
    // The line settings in the dialog's language.
    std::string shownLine(const LineSettings& line) const;
    // `heading`, then `text` with its first word, the device, shortened as far as needed.
    void showFindStatus(const QString& heading, FilledText text, const QString& tail = {});
    void showFindNote(TextId id);
    void showSearchProgress(const SearchProgress& step);
    void searchEnded(const SearchResult& result);
    void showFoundOffer(bool shown);
    void takeFound();
    QString caption(TextId id) const;
    QString caption(const FilledText& text) const;

    void setCaptions();
    void indicesFromSettings();
    void settingsFromIndices();
    void indicesIntoControls();
    void indicesFromControls();

    PortSettings settings_;
    PortMap portMap_;
    std::set<int> changedPorts_;
    int baudIndex_ = 0;
    int parityIndex_ = 0;
    int stopBitsIndex_ = 0;
    int portIndex_ = 0;

    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QButtonGroup* baudGroup_ = nullptr;
    QButtonGroup* stopBitsGroup_ = nullptr;
    QButtonGroup* parityGroup_ = nullptr;
    QButtonGroup* portGroup_ = nullptr;
    DeviceChooser* deviceChooser_ = nullptr;
    QGroupBox* baudBox_ = nullptr;
    QGroupBox* dataBitsBox_ = nullptr;
    QGroupBox* stopBitsBox_ = nullptr;
    QGroupBox* parityBox_ = nullptr;
    QGroupBox* portBox_ = nullptr;

    // Finding the programmer.
    WarningPresenter* searchPresenter_ = nullptr;
    SearchObservers searchObservers_;
    SearchRecord searchRecord_;
    QPushButton* findButton_ = nullptr;  // Cancel while the search runs
    QLabel* findStatus_ = nullptr;
    QLabel* takeLabel_ = nullptr;
    QComboBox* takeCom_ = nullptr;
    QPushButton* takeButton_ = nullptr;
    std::unique_ptr<SerialLineTry> lineTry_;
    std::unique_ptr<ProgrammerSearch> search_;  // after lineTry_: it goes first
    std::optional<SearchResult::Found> found_;
};

}  // namespace dravolin
