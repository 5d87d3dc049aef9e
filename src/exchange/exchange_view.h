#pragma once

#include <cstddef>
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

// Flags of the file dialogs, with their historical values.
inline constexpr unsigned kOverwritePrompt = 0x0002;

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    TextId defaultExtension = TextId::DefaultExtension;
    std::string initialName;  // for a save: the device's name of the file
    unsigned flags = kOverwritePrompt;
    TextId filter = TextId::FileFilter;
    int filterIndex = 2;  // 1-based: the tag-data filter
    TextId title = TextId::OpenDialogTitle;
};

// Everything the exchange shows goes through this interface, in its own terms (TextIds,
// not strings): the window implements it with widgets, the CLI on a terminal, tests with a
// recorder. All calls are made on the interface thread.
//
// A box or a question never holds the exchange up: the view shows it and calls the answer
// back when the operator has answered, at once (a terminal, a test) or later (a window,
// whose event loop meanwhile goes on serving the line, its timers and the operator).
class ExchangeView {
public:
    using Closed = std::function<void()>;
    using FileAnswer = std::function<void(std::optional<std::string>)>;
    using FilesAnswer = std::function<void(std::vector<std::string>)>;
    using ExistingFilesReply = std::function<void(ExistingFilesAnswer)>;

    virtual ~ExchangeView() = default;

    virtual void setStatusText(TextId id) = 0;
    // A status text whose %1 is `argument` (a path, a name, a status letter); a view may
    // shorten the argument so that the line fits.
    virtual void setStatusTextWith(TextId id, const std::string& argument) = 0;

    // Shows a box with an OK button; `closed` runs once the operator has closed it.
    virtual void showMessageBox(TextId id, MessageIcon icon, Closed closed) = 0;

    // The box that tells how an exchange ended: the catalogue text, and under it one line
    // saying why when that is known (the port could not be opened, the line went dead).
    // A view that has no room for the line shows the box alone.
    virtual void showOutcomeBox(TextId id, const std::string& /*causeLine*/, Closed closed) {
        showMessageBox(id, MessageIcon::Exclamation, std::move(closed));
    }

    // The line a failure's box adds when the line settings probably differ: it names how
    // the operator finds the programmer here.
    virtual TextId lineSettingsAdvice() const { return TextId::LineSettingsDiffer; }

    // A file dialog; the answer is the chosen full path, or nothing when it was cancelled.
    virtual void chooseFile(const FileDialogRequest& request, FileAnswer answer) = 0;

    // A run of several files (a backup, several files sent). A view that cannot ask
    // answers as an operator who cancelled, and shows nothing.
    //
    // The open dialog, allowing several files; none when it was cancelled.
    virtual void chooseFiles(const FileDialogRequest& request, FilesAnswer answer) {
        chooseFile(request, [answer = std::move(answer)](std::optional<std::string> path) {
            answer(path ? std::vector<std::string>{*path} : std::vector<std::string>{});
        });
    }
    // A folder dialog; the chosen folder, or nothing when it was cancelled.
    virtual void chooseFolder(TextId /*title*/, FileAnswer answer) { answer(std::nullopt); }
    // Asked once before a backup whose files exist already in part.
    virtual void askAboutExistingFiles(const FilledText& /*question*/, ExistingFilesReply reply) {
        reply(ExistingFilesAnswer::Cancel);
    }
    // The box at the end of a run: the heading, then one line per file.
    virtual void showRunSummary(const FilledText& /*heading*/,
                                const std::vector<FilledText>& /*lines*/, MessageIcon /*icon*/) {}
    // A status text with several words filled in; a view may shorten the last one.
    virtual void setStatusFilled(const FilledText& text) {
        setStatusTextWith(text.id, text.arguments.empty() ? std::string() : text.arguments.back());
    }

    // The file list: emptied with a prompt in its field, then filled entry by entry.
    virtual void clearFileList(TextId fieldText) = 0;
    virtual void appendFileListEntry(const std::string& name) = 0;

    // Mode 1 shows the file list and its group; any other mode hides both.
    virtual void showFileList(int mode) = 0;

    virtual void grayMainMenus() = 0;
    virtual void enableMainMenus() = 0;
    virtual void disableFunctionChoice() = 0;
    virtual void enableFunctionChoice() = 0;

    // Relabels the Start item with TextId 13, grayed or enabled, and redraws the menu bar.
    virtual void setStartItem(bool enabled) = 0;
    virtual void redrawMenuBar() = 0;

    // Selects entry 0 of the function list without a selection-change notification and
    // shows the prompt TextId 12 in its field.
    virtual void resetFunctionChoice() = 0;

    // During a wait that expects more than a status reply (a directory or file reply, the
    // data frame of a send going out): where it stands, each time that changes enough to be
    // worth showing. hideProgress ends it when the wait ends, however it ended.
    virtual void showProgress(const TransferProgress& progress) = 0;
    virtual void hideProgress() = 0;

    // Whether the running exchange can be cancelled now (a wait on the line, or the listed
    // directory waiting for a choice): a view offers Cancel only then.
    virtual void setCancelAvailable(bool available) = 0;

    // The exchange has ended and the window is idle again.
    virtual void exchangeIdle() {}
};

}  // namespace dravolin
