#include "ui/qt_user_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace dravolin {

void QtUserPrompts::showMessage(QWidget* parent, const QString& title, const QString& text,
                                MessageIcon icon) {
    const QMessageBox::Icon boxIcon =
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Warning;
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok, parent);
    // Catalogue texts are plain text with line breaks, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool QtUserPrompts::askYesNo(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtUserPrompts::chooseFile(QWidget* parent,
                                                 const FileDialogOptions& options) {
    QFileDialog dialog(parent, options.title);
    dialog.setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(options.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(options.nameFilters);
    if (options.selectedFilter >= 0 && options.selectedFilter < options.nameFilters.size()) {
        dialog.selectNameFilter(options.nameFilters[options.selectedFilter]);
    }
    dialog.setDefaultSuffix(options.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    if (!options.initialName.isEmpty()) {
        dialog.selectFile(options.initialName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.first();
}

}  // namespace dravolin
