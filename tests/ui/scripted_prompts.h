#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/user_prompts.h"

namespace dravolin {

// Answers the window's message boxes and file dialogs in place of an operator and keeps
// what was asked. The test keeps the shared record; the window owns the prompts.
class ScriptedPrompts : public UserPrompts {
public:
    struct Message {
        QString title;
        QString text;
        MessageIcon icon;
    };

    struct Record {
        std::vector<Message> messages;
        std::vector<FileDialogOptions> fileDialogs;
        // Answers of the file dialogs in order; an empty queue cancels.
        std::deque<std::optional<QString>> fileAnswers;
        // Runs while a message box is up, as an operator would act before pressing OK.
        std::function<void()> whileMessageShown;
    };

    explicit ScriptedPrompts(std::shared_ptr<Record> record) : record_(std::move(record)) {}

    void showMessage(QWidget* parent, const QString& title, const QString& text,
                     MessageIcon icon) override {
        static_cast<void>(parent);
        record_->messages.push_back({title, text, icon});
        if (record_->whileMessageShown) {
            record_->whileMessageShown();
        }
    }

    std::optional<QString> chooseFile(QWidget* parent, const FileDialogOptions& options) override {
        static_cast<void>(parent);
        record_->fileDialogs.push_back(options);
        if (record_->fileAnswers.empty()) {
            return std::nullopt;
        }
        const bool chosen = record_->fileAnswers.front().has_value();
        const QString path = record_->fileAnswers.front().value_or(QString());
        record_->fileAnswers.pop_front();
        if (!chosen) {
            return std::nullopt;
        }
        return path;
    }

private:
    std::shared_ptr<Record> record_;
};

}  // namespace dravolin
