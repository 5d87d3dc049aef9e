#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravolin {

// Names of the texts the operator reads: message boxes, status line, menu, dialogs.
enum class TextId : int {
    BccInterfaceError = 0,    // box for 'B'
    FileOpenError = 1,        // box for 'D'
    DeviceNotResponding = 2,  // box for 'N'
    CharacterDelay = 3,       // box for 'Q'
    FileDoesNotExist = 4,     // box for 'R'
    MemoryFull = 5,           // box for 'S'
    MemoryFullToo = 6,        // box for 'T'
    WrongSettings = 7,        // box for 'V'
    ProtocolFormat = 8,       // box for 'W'
    BccError = 9,             // box for 'X'
    StatusSuccess = 10,
    StatusFailure = 11,
    SelectFunction = 12,
    StartItem = 13,
    StatusStartUp = 14,
    NoFileSaved = 15,
    SelectFile = 16,
    StatusDirectoryListed = 17,
    DefaultExtension = 18,
    FileFilter = 19,
    OpenDialogTitle = 20,
    StatusPleaseWait = 21,
    StatusChooseFileToSend = 22,
    SaveDialogTitle = 23,
    StatusFunctionChosen = 24,
    StatusIdle = 25,
    MenuDataExchange = 26,
    MenuConfiguration = 27,
    MenuHelp = 28,
    QuitItem = 29,
    ConfigureItem = 30,
    HelpItem = 31,
    InfoItem = 32,
    ReceiveEntry = 33,
    SendEntry = 34,
    // The settings dialog's and the help window's own captions.
    SettingsTitle = 35,
    BaudRateGroup = 36,
    DataBitsGroup = 37,
    StopBitsGroup = 38,
    ParityGroup = 39,
    PortGroup = 40,
    ParityOdd = 41,
    ParityEven = 42,
    ParityNone = 43,
    BaudUnit = 44,
    HelpTitle = 45,
};

enum class Language : int { German = 0, English = 1 };

// The fixed two-language table of texts. Texts are UTF-8.
class MessageCatalog {
public:
    static constexpr int kTextCount = 46;

    explicit MessageCatalog(Language language = Language::English) : language_(language) {}

    // The text in the given language; an id outside the table gives an empty text.
    static std::string_view text(TextId id, Language language);

    // The text in the active language.
    std::string lookup(TextId id) const { return std::string(text(id, language_)); }

private:
    const Language language_;
};

// The text of the box that an exchange ending with `code` shows; '0' and letters that
// the table does not know show no box.
std::optional<TextId> outcomeBoxText(char code);

}  // namespace dravolin
