#pragma once

#include "ui/user_prompts.h"

namespace dravolin {

// The operator's questions as Qt's own message boxes and file dialogs.
class QtUserPrompts : public UserPrompts {
public:
    void showMessage(QWidget* parent, const QString& title, const QString& text,
                     MessageIcon icon) override;
    bool askYesNo(QWidget* parent, const QString& title, const QString& text) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileDialogOptions& options) override;
};

}  // namespace dravolin
