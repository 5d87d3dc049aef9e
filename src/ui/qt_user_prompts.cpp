#include "ui/qt_user_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

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
    const QStringList chosen = runFileDialog(parent, options, QFileDialog::ExistingFile);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.first();
}

QStringList QtUserPrompts::chooseFiles(QWidget* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, QFileDialog::ExistingFiles);
}

QStringList QtUserPrompts::runFileDialog(QWidget* parent, const FileDialogOptions& options,
                                         QFileDialog::FileMode openMode) {
    QFileDialog dialog(parent, options.title);
    dialog.setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(options.save ? QFileDialog::AnyFile : openMode);
    dialog.setNameFilters(options.nameFilters);
    if (options.selectedFilter >= 0 && options.selectedFilter < options.nameFilters.size()) {
        dialog.selectNameFilter(options.nameFilters[options.selectedFilter]);
    }
    dialog.setDefaultSuffix(options.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    if (!options.directory.isEmpty()) {
        dialog.setDirectory(options.directory);
    }
    if (!options.initialName.isEmpty()) {
        dialog.selectFile(options.initialName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

std::optional<QString> QtUserPrompts::chooseFolder(QWidget* parent, const QString& title,
                                                   const QString& directory) {
    QFileDialog dialog(parent, title, directory);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

int QtUserPrompts::askChoice(QWidget* parent, const QString& title, const QString& text,
                             const QStringList& answers) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    std::vector<QAbstractButton*> buttons;
    for (qsizetype index = 0; index < answers.size(); ++index) {
        const bool last = index + 1 == answers.size();
        buttons.push_back(box.addButton(answers[index],
                                        last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (!buttons.empty()) {
        // Enter takes the cautious answer, Escape the last one.
        box.setDefaultButton(static_cast<QPushButton*>(buttons.back()));
        box.setEscapeButton(buttons.back());
    }
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? static_cast<int>(answers.size()) - 1
                                   : static_cast<int>(chosen - buttons.begin());
}

}  // namespace dravolin
