#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "ui/user_prompts.h"

namespace dravolin {

// Answers the window's message boxes and file dialogs in place of an operator and keeps
// what was asked. The test keeps the shared record; the window owns the prompts.
class ScriptedPrompts : public UserPrompts {
public:
    struct Record {
        std::vector<QString> messages;
        std::vector<FileDialogOptions> fileDialogs;
        // Paths the file dialogs answer in order (a dialog of several files takes them all);
        // once they run out, dialogs are cancelled.
        std::deque<QString> fileAnswers;
        // Runs while a file or folder dialog is up, before it is answered.
        std::function<void()> whileDialogShown;
        // Runs while a message box is up, as an operator would act before pressing OK.
        std::function<void()> whileMessageShown;
        std::vector<QString> questions;
        bool answerYes = false;              // how every question is answered
        bool leaveQuestionsOpen = false;     // or, with this, left unanswered
        int questionsWithdrawn = 0;          // taken down by the window unanswered
        std::vector<QString> folderDialogs;  // the folder each folder dialog opened in
        // Folders the folder dialogs answer in order; once they run out, they are cancelled.
        std::deque<QString> folderAnswers;
        int choice = 0;  // how every question with several answers is answered (an index)
    };

    explicit ScriptedPrompts(std::shared_ptr<Record> record) : record_(std::move(record)) {}

    void showMessage(QWidget*, const QString&, const QString& text, MessageIcon,
                     Closed closed) override {
        record_->messages.push_back(text);
        if (record_->whileMessageShown) {
            record_->whileMessageShown();
        }
        if (closed) {
            closed();
        }
    }

    Withdraw askYesNo(QWidget*, const QString&, const QString& text, YesNo answer) override {
        record_->questions.push_back(text);
        if (record_->leaveQuestionsOpen) {
            return [record = record_] { ++record->questionsWithdrawn; };
        }
        answer(record_->answerYes);
        return [] {};
    }

    void chooseFile(QWidget*, const FileDialogOptions& options, PathAnswer answer) override {
        record_->fileDialogs.push_back(options);
        dialogShown();
        answer(next(record_->fileAnswers));
    }

    void chooseFiles(QWidget*, const FileDialogOptions& options, PathsAnswer answer) override {
        record_->fileDialogs.push_back(options);
        dialogShown();
        const QStringList paths(record_->fileAnswers.begin(), record_->fileAnswers.end());
        record_->fileAnswers.clear();
        answer(paths);
    }

    void chooseFolder(QWidget*, const QString&, const QString& directory,
                      PathAnswer answer) override {
        record_->folderDialogs.push_back(directory);
        dialogShown();
        answer(next(record_->folderAnswers));
    }

    void askChoice(QWidget*, const QString&, const QString& text, const QStringList&,
                   ChoiceAnswer answer) override {
        record_->questions.push_back(text);
        answer(record_->choice);
    }

private:
    void dialogShown() const {
        if (record_->whileDialogShown) {
            record_->whileDialogShown();
        }
    }

    static std::optional<QString> next(std::deque<QString>& answers) {
        if (answers.empty()) {
            return std::nullopt;
        }
        const QString first = answers.front();
        answers.pop_front();
        return first;
    }

    std::shared_ptr<Record> record_;
};

}  // namespace dravolin
