#include "ui/qt_user_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <memory>
#include <vector>

#include "ui/keyboard_focus.h"

namespace dravolin {

namespace {

// A box that goes when it is closed, with plain text: catalogue texts hold line breaks,
// never markup.
QMessageBox* newBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                    const QString& text, QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, title, text, buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    return box;
}

}  // namespace

void QtUserPrompts::showMessage(QWidget* parent, const QString& title, const QString& text,
                                MessageIcon icon, Closed closed) {
    const QMessageBox::Icon boxIcon =
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Warning;
    QMessageBox* box = newBox(parent, boxIcon, title, text, QMessageBox::Ok);
    QObject::connect(box, &QDialog::finished, box, [parent, closed = std::move(closed)] {
        giveKeyboardBack(parent);
        if (closed) {
            closed();
        }
    });
    box->open();
}

UserPrompts::Withdraw QtUserPrompts::askYesNo(QWidget* parent, const QString& title,
                                              const QString& text, YesNo answer) {
    QMessageBox* box =
        newBox(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::No);
    QObject::connect(box, &QDialog::finished, box,
                     [parent, answer = std::move(answer)](int result) {
                         giveKeyboardBack(parent);
                         answer(result == QMessageBox::Yes);
                     });
    box->open();
    return [box = QPointer<QMessageBox>(box)] {
        if (box) {
            QObject::disconnect(box, &QDialog::finished, nullptr, nullptr);
            box->reject();
        }
    };
}

void QtUserPrompts::chooseFile(QWidget* parent, const FileDialogOptions& options,
                               PathAnswer answer) {
    openFileDialog(
        parent, options, QFileDialog::ExistingFile,
        [answer = std::move(answer)](const QStringList& chosen) {
            answer(chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen.first()));
        });
}

void QtUserPrompts::chooseFiles(QWidget* parent, const FileDialogOptions& options,
                                PathsAnswer answer) {
    openFileDialog(parent, options, QFileDialog::ExistingFiles, std::move(answer));
}

void QtUserPrompts::openFileDialog(QWidget* parent, const FileDialogOptions& options,
                                   QFileDialog::FileMode openMode, PathsAnswer answer) {
    auto* dialog = new QFileDialog(parent, options.title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(options.save ? QFileDialog::AnyFile : openMode);
    dialog->setNameFilters(options.nameFilters);
    if (options.selectedFilter >= 0 && options.selectedFilter < options.nameFilters.size()) {
        dialog->selectNameFilter(options.nameFilters[options.selectedFilter]);
    }
    dialog->setDefaultSuffix(options.defaultSuffix);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    if (!options.directory.isEmpty()) {
        dialog->setDirectory(options.directory);
    }
    if (!options.initialName.isEmpty()) {
        dialog->selectFile(options.initialName);
    }
    QObject::connect(
        dialog, &QDialog::finished, dialog,
        [parent, dialog, answer = std::move(answer)](int result) {
            giveKeyboardBack(parent);
            answer(result == QDialog::Accepted ? dialog->selectedFiles() : QStringList{});
        });
    dialog->open();
}

void QtUserPrompts::chooseFolder(QWidget* parent, const QString& title, const QString& directory,
                                 PathAnswer answer) {
    auto* dialog = new QFileDialog(parent, title, directory);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [parent, dialog, answer = std::move(answer)](int result) {
                         giveKeyboardBack(parent);
                         const QStringList chosen = dialog->selectedFiles();
                         answer(result == QDialog::Accepted && !chosen.isEmpty()
                                    ? std::optional<QString>(chosen.first())
                                    : std::nullopt);
                     });
    dialog->open();
}

void QtUserPrompts::askChoice(QWidget* parent, const QString& title, const QString& text,
                              const QStringList& answers, ChoiceAnswer answer) {
    QMessageBox* box = newBox(parent, QMessageBox::Question, title, text, QMessageBox::NoButton);
    auto buttons = std::make_shared<std::vector<QAbstractButton*>>();
    for (qsizetype index = 0; index < answers.size(); ++index) {
        const bool last = index + 1 == answers.size();
        buttons->push_back(box->addButton(
            answers[index], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (!buttons->empty()) {
        // Enter takes the cautious answer, Escape the last one.
        box->setDefaultButton(static_cast<QPushButton*>(buttons->back()));
        box->setEscapeButton(buttons->back());
    }
    const int cancelIndex = static_cast<int>(answers.size()) - 1;
    QObject::connect(
        box, &QDialog::finished, box,
        [parent, box, buttons, cancelIndex, answer = std::move(answer)] {
            giveKeyboardBack(parent);
            const auto chosen = std::find(buttons->begin(), buttons->end(), box->clickedButton());
            answer(chosen == buttons->end() ? cancelIndex
                                            : static_cast<int>(chosen - buttons->begin()));
        });
    box->open();
}

}  // namespace dravolin
