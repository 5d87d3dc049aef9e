#pragma once

#include <QFileDialog>

#include "ui/user_prompts.h"

namespace dravolin {

// The operator's questions as Qt's own message boxes and file dialogs, each opened modal to
// its window (QDialog::open) and answered through its finished signal: no event loop of its
// own, so the window's exchange goes on while a question is up.
class QtUserPrompts : public UserPrompts {
public:
    void showMessage(QWidget* parent, const QString& title, const QString& text, MessageIcon icon,
                     Closed closed) override;
    Withdraw askYesNo(QWidget* parent, const QString& title, const QString& text,
                      YesNo answer) override;
    void chooseFile(QWidget* parent, const FileDialogOptions& options, PathAnswer answer) override;
    void chooseFiles(QWidget* parent, const FileDialogOptions& options,
                     PathsAnswer answer) override;
    void chooseFolder(QWidget* parent, const QString& title, const QString& directory,
                      PathAnswer answer) override;
    void askChoice(QWidget* parent, const QString& title, const QString& text,
                   const QStringList& answers, ChoiceAnswer answer) override;

private:
    // Opens the file dialog; `answer` gets the files chosen, none when it was cancelled.
    static void openFileDialog(QWidget* parent, const FileDialogOptions& options,
                               QFileDialog::FileMode openMode, PathsAnswer answer);
};

}  // namespace dravolin
