#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/version_record.h"
#include "ui/dialog_units.h"
#include "ui/resources.h"

namespace dravolin {

AboutDialog::AboutDialog(QWidget* parent, const QString& recordPath) : QDialog(parent) {
    loadResources();
    setWindowTitle(QStringLiteral("Info Dravolin"));
    setModal(true);
    buildControls();
    readVersion(recordPath.isEmpty() ? kVersionRecordPath : recordPath);
}

void AboutDialog::buildControls() {
    const DialogUnits units(fontMetrics());
    setFixedSize(units.toPixels(QSize(132, 76)));

    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // An icon picture takes the icon's own size at its place.
    icon->setGeometry(QRect(units.toPixels(QRect(11, 17, 20, 20)).topLeft(), QSize(32, 32)));

    auto* caption = new QLabel(QStringLiteral("Dravolin Version"), this);
    caption->setTextFormat(Qt::PlainText);
    caption->setGeometry(units.toPixels(QRect(40, 10, 60, 8)));

    versionLabel_ = new QLabel(this);
    versionLabel_->setObjectName(QStringLiteral("versionLabel"));
    versionLabel_->setTextFormat(Qt::PlainText);
    versionLabel_->setGeometry(units.toPixels(QRect(105, 10, 20, 8)));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setGeometry(units.toPixels(QRect(41, 50, 50, 14)));
    connect(ok, &QPushButton::clicked, this, &AboutDialog::accept);
    ok->setFocus();
}

void AboutDialog::readVersion(const QString& recordPath) {
    // A missing record or value leaves the text empty rather than showing something wrong.
    QString versionText;
    if (const std::optional<VersionRecord> record = VersionRecord::load(recordPath)) {
        if (const std::optional<std::string> version = record->value(kFileVersionPath)) {
            versionText = QString::fromStdString(*version);
        }
    }
    versionLabel_->setText(versionText);
}

}  // namespace dravolin
