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

    std::vector<TextId> statusTexts;
    std::vector<std::string> statusArguments;  // one for each status text; empty for none
    std::vector<Box> boxes;
    std::vector<std::string> fileList;
    std::deque<std::optional<std::string>> dialogAnswers;
    std::vector<TransferProgress> progress;  // every measurement shown, in order
    // Runs as the list of the device's files is put up.
    std::function<void()> whenListShown;
    // Runs after each progress measurement is recorded, as an operator watching the bar.
    std::function<void(const TransferProgress&)> onProgress;

    TextId lastStatus() const { return statusTexts.empty() ? TextId(-1) : statusTexts.back(); }

    void setStatusText(TextId id) override {
        statusTexts.push_back(id);
        statusArguments.emplace_back();
    }
    void setStatusTextWith(TextId id, const std::string& argument) override {
        statusTexts.push_back(id);
        statusArguments.push_back(argument);
    }
    void showMessageBox(TextId id, MessageIcon icon, Closed closed) override {
        boxes.push_back({id, icon});
        closed();
    }
    void showOutcomeBox(TextId id, const std::string& causeLine, Closed closed) override {
        boxes.push_back({id, MessageIcon::Exclamation, causeLine});
        closed();
    }
    void chooseFile(const FileDialogRequest&, FileAnswer answer) override {
        std::optional<std::string> chosen;
        if (!dialogAnswers.empty()) {
            chosen = dialogAnswers.front();
            dialogAnswers.pop_front();
        }
        answer(chosen);
    }
    void exchangeIdle() override {}
    void clearFileList(TextId) override { fileList.clear(); }
    void appendFileListEntry(const std::string& name) override { fileList.push_back(name); }
    void showFileList(int mode) override {
        if (mode == 1 && whenListShown) {
            whenListShown();
        }
    }
    // What the window greys and resets is the window's to show.
    void grayMainMenus() override {}
    void enableMainMenus() override {}
    void disableFunctionChoice() override {}
    void enableFunctionChoice() override {}
    void setStartItem(bool) override {}
    void redrawMenuBar() override {}
    void resetFunctionChoice() override {}
    void showProgress(const TransferProgress& measured) override {
        progress.push_back(measured);
        if (onProgress) {
            onProgress(measured);
        }
    }
    void hideProgress() override {}
    void setCancelAvailable(bool) override {}
};

}  // namespace dravolin
