#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "exchange/exchange_view.h"

namespace dravolin {

// The exchange on a terminal. Status texts that mean something outside the window go to
// stderr, where a progress line is also written over while a reply comes. Boxes with an
// exclamation icon are left to the command's closing line, which carries the same text with
// the status letter; the listed names and a run's lines are the command's, for stdout.
class ConsoleView : public ExchangeView {
public:
    explicit ConsoleView(std::FILE* err = stderr, bool showProgress = false,
                         Language language = Language::English);

    // A catalogue text on one line, its %1 filled with `argument`: its line breaks become
    // spaces, outer blanks go.
    static std::string oneLine(TextId id, Language language, const std::string& argument = {});

    void showState(const ExchangeState& state) override;
    void showProgress(const std::optional<TransferProgress>& progress) override;
    void showBox(const ExchangeBox& box, Closed closed) override;

private:
    bool worthALine(const ExchangeState& state) const;
    void printStatus(const std::string& line);
    void endProgressLine();

    std::FILE* err_;
    bool showProgress_;
    Language language_;
    FilledText status_;  // the last status shown; a line is printed when it changes
    bool progressLineOpen_ = false;
    std::size_t progressLineLength_ = 0;
};

}  // namespace dravolin
