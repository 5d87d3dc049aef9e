#pragma once

#include <QString>

#include <QStringList>

#include <functional>
#include <optional>

#include "exchange/exchange_view.h"
#include "ui/file_dialog_options.h"

class QWidget;

namespace dravolin {

// The questions the main window puts to the operator. The window asks through this
// interface so that tests can answer in place of a person. None of them holds the caller
// up: each shows its box or dialog and calls its answer back once the operator has
// answered, while the window's event loop goes on (a transfer keeps going meanwhile).
class UserPrompts {
public:
    using Closed = std::function<void()>;
    using YesNo = std::function<void(bool)>;
    using PathAnswer = std::function<void(std::optional<QString>)>;
    using PathsAnswer = std::function<void(QStringList)>;
    using ChoiceAnswer = std::function<void(int)>;
    // Takes a question down unanswered, so that its answer is never called; nothing once it
    // has been answered.
    using Withdraw = std::function<void()>;

    virtual ~UserPrompts() = default;

    // A box with an OK button; `closed` (if any) runs once it has been closed.
    virtual void showMessage(QWidget* parent, const QString& title, const QString& text,
                             MessageIcon icon, Closed closed = {}) = 0;

    // A question with Yes and No (No the default); true for Yes. Returns the way to take it
    // down unanswered.
    virtual Withdraw askYesNo(QWidget* parent, const QString& title, const QString& text,
                              YesNo answer) = 0;

    // A file dialog; the chosen path, or nothing when it was cancelled.
    virtual void chooseFile(QWidget* parent, const FileDialogOptions& options,
                            PathAnswer answer) = 0;

    // The open dialog allowing several files; none when it was cancelled. By default the
    // dialog for one file.
    virtual void chooseFiles(QWidget* parent, const FileDialogOptions& options,
                             PathsAnswer answer) {
        chooseFile(parent, options, [answer = std::move(answer)](std::optional<QString> path) {
            answer(path ? QStringList{*path} : QStringList{});
        });
    }

    // A folder dialog opening at `directory`; the chosen folder, or nothing when cancelled.
    virtual void chooseFolder(QWidget* parent, const QString& title, const QString& directory,
                              PathAnswer answer) = 0;

    // A question with one button per answer (the last one cancels, also on Escape); the
    // index of the answer chosen.
    virtual void askChoice(QWidget* parent, const QString& title, const QString& text,
                           const QStringList& answers, ChoiceAnswer answer) = 0;
};

}  // namespace dravolin
