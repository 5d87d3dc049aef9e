#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "exchange/exchange_view.h"

namespace dravolin {

// The exchange on a terminal. Status texts that mean something outside the window go to
// stderr, the listed names are collected for stdout, and the file dialogs are answered
// by the command line. Boxes with an exclamation icon are left to the command's closing
// line, which carries the same text with the status letter.
class ConsoleView : public ExchangeView {
public:
    explicit ConsoleView(std::FILE* err = stderr, bool showProgress = false,
                         Language language = Language::English);

    void answerFileDialogsWith(std::optional<std::string> path) { fileAnswer_ = std::move(path); }
    const std::vector<std::string>& listedNames() const { return listedNames_; }

    // Whether the success line is printed. A listing that is only the first step of a
    // fetch is no success of its own: an empty directory there means the name is missing.
    void showSuccessLine(bool shown) { successLineShown_ = shown; }

    // A catalogue text on one line, its %1 filled with `argument`: its line breaks become
    // spaces, outer blanks go.
    static std::string oneLine(TextId id, Language language, const std::string& argument = {});

    void setStatusText(TextId id) override;
    void setStatusTextWith(TextId id, const std::string& argument) override;
    void setStatusFilled(const FilledText& text) override;
    void showMessageBox(TextId id, MessageIcon icon, Closed closed) override;
    void chooseFile(const FileDialogRequest& request, FileAnswer answer) override;
    void clearFileList(TextId fieldText) override;
    void appendFileListEntry(const std::string& name) override;
    void showFileList(int mode) override;
    void grayMainMenus() override {}
    void enableMainMenus() override {}
    void disableFunctionChoice() override {}
    void enableFunctionChoice() override {}
    void setStartItem(bool enabled) override;
    void redrawMenuBar() override {}
    void resetFunctionChoice() override {}
    void showProgress(const TransferProgress& progress) override;
    void hideProgress() override;
    void setCancelAvailable(bool available) override { static_cast<void>(available); }
    TextId lineSettingsAdvice() const override { return TextId::LineSettingsDifferCli; }

private:
    void printStatus(const std::string& line);
    void endProgressLine();

    std::FILE* err_;
    bool showProgress_;
    Language language_;
    bool progressLineOpen_ = false;
    bool successLineShown_ = true;
    std::size_t progressLineLength_ = 0;
    std::optional<std::string> fileAnswer_;
    std::vector<std::string> listedNames_;
};

}  // namespace dravolin
