#pragma once

#include <QDialog>

#include "core/port_settings.h"
#include "serial/port_map.h"

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace dravolin {

// The modal dialog in which the operator picks the serial line parameters, and the one
// store of the current PortSettings. Each showing starts from the stored settings; only
// OK changes them.
class PortSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit PortSettingsDialog(PortMap portMap = {}, QWidget* parent = nullptr);

    PortSettings& settings() { return settings_; }
    const PortSettings& settings() const { return settings_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QRect dialogRect(int x, int y, int width, int height) const;
    QPushButton* addPushButton(int id, const QString& text, QRect rect);
    QGroupBox* addGroupBox(int id, const QString& title, QRect rect);
    QRadioButton* addRadioButton(QButtonGroup* group, int index, int id, const QString& text,
                                 QRect rect);
    void buildControls(const PortMap& portMap);

    void setCaptions();
    void indicesFromSettings();
    void settingsFromIndices();
    void indicesIntoControls();
    void indicesFromControls();

    PortSettings settings_;
    int baudIndex_ = 0;
    int dataBitsIndex_ = 1;
    int parityIndex_ = 0;
    int stopBitsIndex_ = 0;
    int portIndex_ = 0;

    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QButtonGroup* baudGroup_ = nullptr;
    QButtonGroup* dataBitsGroup_ = nullptr;
    QButtonGroup* stopBitsGroup_ = nullptr;
    QButtonGroup* parityGroup_ = nullptr;
    QButtonGroup* portGroup_ = nullptr;
    QGroupBox* baudBox_ = nullptr;
    QGroupBox* dataBitsBox_ = nullptr;
    QGroupBox* stopBitsBox_ = nullptr;
    QGroupBox* parityBox_ = nullptr;
    QGroupBox* portBox_ = nullptr;
};

}  // namespace dravolin
