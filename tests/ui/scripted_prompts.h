#pragma once

#include <QString>

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
        // Paths the file dialogs answer in order; once they run out, dialogs are cancelled.
        std::deque<QString> fileAnswers;
        // Runs while a message box is up, as an operator would act before pressing OK.
        std::function<void()> whileMessageShown;
        std::vector<QString> questions;
        bool answerYes = false;  // how every question is answered
    };

    explicit ScriptedPrompts(std::shared_ptr<Record> record) : record_(std::move(record)) {}

    void showMessage(QWidget*, const QString&, const QString& text, MessageIcon) override {
        record_->messages.push_back(text);
        if (record_->whileMessageShown) {
            record_->whileMessageShown();
        }
    }

    bool askYesNo(QWidget*, const QString&, const QString& text) override {
        record_->questions.push_back(text);
        return record_->answerYes;
    }

    std::optional<QString> chooseFile(QWidget*, const FileDialogOptions& options) override {
        record_->fileDialogs.push_back(options);
        if (record_->fileAnswers.empty()) {
            return std::nullopt;
        }
        const QString path = record_->fileAnswers.front();
        record_->fileAnswers.pop_front();
        return path;
    }

private:
    std::shared_ptr<Record> record_;
};

}  // namespace dravolin
