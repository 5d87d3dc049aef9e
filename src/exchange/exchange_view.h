#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/message_catalog.h"
#include "exchange/transfer_progress.h"

namespace dravolin {

enum class MessageIcon { Information, Exclamation };

// The operator's answer when files of a backup exist already in its folder.
enum class ExistingFilesAnswer { ReplaceAll, KeepExisting, Cancel };

// What the window shows of the exchange; it derives its menus and controls from it.
struct ExchangeState {
    enum class Stage {
        Idle,     // nothing runs: the menus and the function choice can be used
        Running,  // an exchange runs, or the dialog that begins a run is up: both are locked
        Listed,   // the listed directory waits for the operator's pick
        Outcome,  // the outcome is shown: Start grayed, the function choice reset, still locked
    };
    Stage stage = Stage::Idle;
    FilledText status{TextId::StatusStartUp, {}};  // a view may shorten its last argument
    std::vector<std::string> names{};  // the file list, as the programmer listed the names
    bool namesShown = false;           // the file list and its group are shown
    bool cancelAvailable = false;      // a wait on the line, or the listed names, can be cancelled

    friend bool operator==(const ExchangeState&, const ExchangeState&) = default;
};

// A box with an OK button.
struct ExchangeBox {
    enum class Kind {
        Message,  // the text alone
        Outcome,  // how an exchange ended: the text, and under it why when that is known
        Summary,  // the end of a run: the text as a heading, then one line per file
    };
    Kind kind = Kind::Message;
    MessageIcon icon = MessageIcon::Exclamation;
    FilledText text{};
    std::vector<std::string> lines{};  // Outcome: the cause line, if any; Summary: the files

    // How an exchange ended: `text`, and `causeLine` under it unless that is empty.
    static ExchangeBox outcome(TextId text, const std::string& causeLine) {
        ExchangeBox box{.kind = Kind::Outcome, .text = {text, {}}};
        if (!causeLine.empty()) {
            box.lines.push_back(causeLine);
        }
        return box;
    }
};

struct FileDialogRequest {
    enum class Mode { Open, OpenSeveral, Save };
    Mode mode = Mode::Open;
    std::string initialName;  // for a save: the device's name of the file
};

// Everything the exchange shows goes through this interface, in its own terms (TextIds, not
// strings): the window implements it with widgets, the CLI on a terminal, tests with a
// recorder. By itself it shows nothing and answers every question as an operator who
// cancelled: a try of the search, which only the search reports, uses it as it is. All calls
// are made on the interface thread.
//
// A box or a question never holds the exchange up: the view shows it and calls the answer
// back when the operator has answered, at once (a terminal, a test) or later (a window, whose
// event loop meanwhile goes on serving the line, its timers and the operator).
class ExchangeView {
public:
    using Closed = std::function<void()>;
    using FileAnswer = std::function<void(std::optional<std::string>)>;
    using FilesAnswer = std::function<void(std::vector<std::string>)>;
    using ExistingFilesReply = std::function<void(ExistingFilesAnswer)>;

    virtual ~ExchangeView() = default;

    // The exchange's state, each time it changes.
    virtual void showState(const ExchangeState& /*state*/) {}

    // During a wait that expects more than a status reply (a directory or file reply, the data
    // frame of a send going out): where it stands, each time that changes enough to be worth
    // showing; nothing once the wait has ended, however it ended.
    virtual void showProgress(const std::optional<TransferProgress>& /*progress*/) {}

    // `closed` runs once the operator has closed the box.
    virtual void showBox(const ExchangeBox& /*box*/, Closed closed) { closed(); }

    // A file dialog: the chosen full paths (one unless several were asked for), none when it
    // was cancelled.
    virtual void chooseFile(const FileDialogRequest& /*request*/, FilesAnswer answer) {
        answer({});
    }
    // A folder dialog; the chosen folder, or nothing when it was cancelled.
    virtual void chooseFolder(TextId /*title*/, FileAnswer answer) { answer(std::nullopt); }
    // Asked once before a backup whose files exist already in part.
    virtual void askAboutExistingFiles(const FilledText& /*question*/, ExistingFilesReply reply) {
        reply(ExistingFilesAnswer::Cancel);
    }
};

}  // namespace dravolin
