#pragma once

#include <QString>

#include <QStringList>

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

    // The open dialog allowing several files; none when it was cancelled. By default the
    // dialog for one file.
    virtual QStringList chooseFiles(QWidget* parent, const FileDialogOptions& options) {
        const std::optional<QString> path = chooseFile(parent, options);
        return path ? QStringList{*path} : QStringList{};
    }

    // A folder dialog opening at `directory`; the chosen folder, or nothing when cancelled.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& title,
                                                const QString& directory) = 0;

    // A modal question with one button per answer (the last one cancels, also on Escape);
    // the index of the answer chosen.
    virtual int askChoice(QWidget* parent, const QString& title, const QString& text,
                          const QStringList& answers) = 0;
};

}  // namespace dravolin
