#pragma once

#include <QString>

#include <optional>

#include "exchange/exchange_view.h"
#include "ui/file_dialog_options.h"

class QWidget;

namespace dravolin {

// The modal questions the main window puts to the operator. The window asks through this
// interface so that tests can answer in place of a person.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A modal box with an OK button; returns when it has been closed.
    virtual void showMessage(QWidget* parent, const QString& title, const QString& text,
                             MessageIcon icon) = 0;

    // A modal question with Yes and No (No the default); true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text) = 0;

    // A modal file dialog; the chosen path, or nothing when it was cancelled.
    virtual std::optional<QString> chooseFile(QWidget* parent,
                                              const FileDialogOptions& options) = 0;
};

}  // namespace dravolin
