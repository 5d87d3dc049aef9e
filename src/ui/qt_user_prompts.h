#pragma once

#include <QFileDialog>

#include "ui/user_prompts.h"

namespace dravolin {

// The operator's questions as Qt's own message boxes and file dialogs.
class QtUserPrompts : public UserPrompts {
public:
    void showMessage(QWidget* parent, const QString& title, const QString& text,
                     MessageIcon icon) override;
    bool askYesNo(QWidget* parent, const QString& title, const QString& text) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileDialogOptions& options) override;
    QStringList chooseFiles(QWidget* parent, const FileDialogOptions& options) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& title,
                                        const QString& directory) override;
    int askChoice(QWidget* parent, const QString& title, const QString& text,
                  const QStringList& answers) override;

private:
    // Shows the file dialog; the files chosen, none when it was cancelled.
    static QStringList runFileDialog(QWidget* parent, const FileDialogOptions& options,
                                     QFileDialog::FileMode openMode);
};

}  // namespace dravolin
