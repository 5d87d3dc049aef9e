#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/exchange_view.h"

namespace dravolin {

// Remembers what the exchange shows that the suites look at, and answers its file dialogs
// from a queue (an empty queue answers as a cancelled dialog).
class RecordingView : public ExchangeView {
public:
    struct Box {
        TextId text;
        MessageIcon icon;
        std::string causeLine{};
    };

    std::vector<TextId> statusTexts;           // each status text shown, in order
    std::vector<std::string> statusArguments;  // the last word of each; empty for none
    std::vector<Box> boxes;
    std::vector<std::string> fileList;
    std::deque<std::optional<std::string>> dialogAnswers;
    std::vector<TransferProgress> progress;  // every measurement shown, in order
    // Runs after each progress measurement is recorded, as an operator watching the bar.
    std::function<void(const TransferProgress&)> onProgress;

    TextId lastStatus() const { return statusTexts.empty() ? TextId(-1) : statusTexts.back(); }

    void showState(const ExchangeState& state) override {
        if (state.status != shownStatus_) {
            statusTexts.push_back(state.status.id);
            statusArguments.push_back(
                state.status.arguments.empty() ? std::string() : state.status.arguments.back());
        }
        fileList = state.names;
        shownStatus_ = state.status;
    }
    void showBox(const ExchangeBox& box, Closed closed) override {
        boxes.push_back({box.text.id, box.icon, box.lines.empty() ? std::string() : box.lines[0]});
        closed();
    }
    void chooseFile(const FileDialogRequest&, FilesAnswer answer) override {
        std::optional<std::string> chosen;
        if (!dialogAnswers.empty()) {
            chosen = dialogAnswers.front();
            dialogAnswers.pop_front();
        }
        answer(chosen ? std::vector<std::string>{*chosen} : std::vector<std::string>{});
    }
    void showProgress(const std::optional<TransferProgress>& measured) override {
        if (measured) {
            progress.push_back(*measured);
            if (onProgress) {
                onProgress(*measured);
            }
        }
    }

private:
    FilledText shownStatus_{TextId::StatusStartUp, {}};
};

}  // namespace dravolin
