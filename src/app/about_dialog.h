#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace dravolin {

// "Info Dravolin": the program's icon and its version as the version record gives it.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    static inline const char* const kFileVersionPath = "\\StringFileInfo\\040704b0\\FileVersion";

    // `recordPath` names the version record; by default the one compiled into the program.
    explicit AboutDialog(QWidget* parent = nullptr, const QString& recordPath = {});

private:
    void buildControls();
    void readVersion(const QString& recordPath);

    QLabel* versionLabel_ = nullptr;
};

}  // namespace dravolin
