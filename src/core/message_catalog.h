#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // Texts of the operator's feedback: cancelling, a line that has gone, progress and
    // outcomes that name what happened. %1, %2, ... stand for the words filled in.
    StatusCancelled = 35,
    DeviceGone = 36,           // a line added to the 'N' box: %1 the device path
    StatusFailureLetter = 37,  // %1 the status letter
    StatusSaved = 38,          // %1 the path of the file written
    StatusStored = 39,         // %1 the name the programmer stored the file under
    CancelAndQuitQuestion = 40,
    CancelButton = 41,
    ProgressBytes = 42,     // %1 bytes done, %2 bytes expected, %3 percent
    ProgressTimeLeft = 43,  // %1 a duration such as "7 s"
    // The settings dialog's and the help window's own captions.
    SettingsTitle = 44,
    BaudRateGroup = 45,
    DataBitsGroup = 46,
    StopBitsGroup = 47,
    ParityGroup = 48,
    PortGroup = 49,
    ParityOdd = 50,
    ParityEven = 51,
    ParityNone = 52,
    BaudUnit = 53,
    HelpTitle = 54,
    // Why a port could not be opened: a line added to the 'N' box. %1 is the device path.
    PortWithoutDevice = 55,
    PortMissing = 56,
    PortWithoutHardware = 57,
    PortPermissionJoinGroup = 58,         // %2 the device's group, %3 the user
    PortPermissionLogInAgain = 59,        // %2 the device's group
    PortPermissionAskAdministrator = 60,  // %2 the device's group
    PortBusyWithHolder = 61,              // %2 the program, %3 its process id
    PortBusy = 62,
    PortLockCannotBeRemoved = 63,  // %2 the lock file and the system's reason
    PortLockNamesNobody = 64,      // %2 the lock file
    PortNotSerial = 65,
    PortOtherFailure = 66,  // %2 the system's text
    // The device part of the settings dialog.
    DeviceGroupTitle = 67,  // %1 the Com port's number
    DeviceMissing = 68,
    DevicePseudoTerminal = 69,
    DeviceNotListed = 70,
    // Backing up all files and sending several: the menu item, the questions, the status
    // line during the run and the lines of its summary. %1 of a summary line is the name.
    BackupItem = 71,
    BackupFolderTitle = 72,
    ExistingFilesQuestion = 73,  // %1 files of %2 exist already in the folder %3
    ReplaceAllButton = 74,
    KeepExistingButton = 75,
    StatusRunFile = 76,   // file %1 of %2, named %3
    RunSavedLine = 77,    // %2 the path written
    RunStoredLine = 78,   // %2 the name in the programmer
    RunFailedLine = 79,   // %2 the status letter, %3 its text
    RunKeptLine = 80,     // %2 the existing file
    RunSkippedLine = 81,  // %2 why
    RunCancelledLine = 82,
    RunSummary = 83,  // %1 of %2 files transferred
    RunNotTransferredLine = 84,
    // The transfer log and the protocol trace.
    TransferLogItem = 85,
    TraceItem = 86,  // %1 the trace file
    TransferLogTitle = 87,
    TransferLogCannotWrite = 88,  // %1 the log file, %2 the system's reason
    TraceCannotOpen = 89,         // %1 the trace file, %2 the system's reason
    CopyButton = 90,
    RefreshButton = 91,
    CloseButton = 92,
    TransferLogEmpty = 93,  // %1 the log file
    TraceToStandardError = 94,
    TransferLogCannotRead = 95,  // %1 the reason
    TransferLogColumns = 96,     // the column titles of the log window, tab-separated
    // The log window's words for the codes the log file holds.
    LogFunctionList = 97,
    LogFunctionGet = 98,
    LogFunctionPut = 99,
    LogOutcomeSuccess = 100,
    LogOutcomeCancelled = 101,
    LogOutcomeFailed = 102,  // %1 the status letter
    // How the device list describes the serial devices found.
    UsbSerialDevice = 103,  // %1 the driver, when known
    UsbSerialNumber = 104,  // %1 the device, %2 its serial number
    BuiltInPort = 105,
    BuiltInPortAbsent = 106,
    SerialPortOfDriver = 107,  // %1 the driver
    PortAtAddress = 108,       // %1 the port, %2 its address
    LineSettingsDiffer = 109,  // a line added to a failure's box: the line brought errors
    // Finding the programmer: the settings dialog's button, progress and result.
    FindButton = 110,
    FindProgress = 111,  // %1 the device, %2 the settings, %3 of %4 tries
    FindSecondPass = 112,
    FindFound = 113,  // %1 the device, %2 the settings, %3 the number of files
    FindTakeQuestion = 114,
    FindTakeButton = 115,
    FindNothing = 116,
    FindTriedLine = 117,  // %1 the device, %2 the number of tries
    FindCancelled = 118,
    FindSkippedConsole = 119,  // %1 the device
    FindNoDevices = 120,
    LogFunctionFind = 121,  // the log window's word for a try of the search
    // Line settings as the window shows them: %1 the baud rate, %2 the parity in words, %3
    // the stop bits, %4 the parity's letter.
    LineSettingsShown = 122,
    // Words of the command line and of Windows' own places.
    LineSettingsDifferCli = 123,  // LineSettingsDiffer, naming dravolin-cli find
    FetchTargetExists = 124,      // %1 the file get would write
    SystemMenuAbout = 125,        // the about item of the window's system menu
    FindAnsweredWithout = 126,    // %1 the device, %2 the letters heard, each a FindLetterAt
    FindLetterAt = 127,           // %1 a status letter, %2 the settings it came back at
    // A line added to the 'D' box of a file whose name the programmer cannot hold: %1 the
    // file's name, %2 the character (or the byte that is not UTF-8).
    NameNotSendable = 128,
    NameNotUtf8 = 129,
    // dravolin-cli get's refusals before it asks the programmer for the file.
    FetchNeedsFileName = 130,     // %1 why the programmer's name makes no file name
    FetchTargetUnreadable = 131,  // %1 the file get would write, %2 the system's reason
    // 132 on: a reply that stops part-way, and the bar while the line is silent.
    ReplyStopped = 132,        // a line added to the 'N' box
    ProgressLineSilent = 133,  // progress while no byte comes, in place of the time left
    FileNotHeld = 134,         // a line added to the 'R' box: %1 the name asked for
};

enum class Language : int { German = 0, English = 1 };

// A catalogue text and the words that fill its %1, %2, ... in order.
struct FilledText {
    TextId id = TextId::StatusIdle;
    std::vector<std::string> arguments;

    friend bool operator==(const FilledText&, const FilledText&) = default;
};

// `text` with each %1 to %9 replaced by that argument, in one pass: what an argument holds
// is never taken for a placeholder. A placeholder without its argument is left as it is.
std::string fillPlaceholders(std::string_view text, const std::vector<std::string>& arguments);

// A catalogue text on one line, for a terminal or a list: its line breaks and tabs become
// spaces, and the blanks around it go.
std::string asOneLine(std::string text);

// Line settings as our own texts show them: "38400,O,2", in German with the parity spelt out
// ("38400 Baud, Parität ungerade, Stoppbits 2").
std::string lineSettingsText(long baudRate, char parity, int stopBits, Language language);

// The fixed two-language table of texts. Texts are UTF-8.
class MessageCatalog {
public:
    static constexpr int kTextCount = 135;

    explicit MessageCatalog(Language language = Language::English) : language_(language) {}

    // The text in the given language; an id outside the table gives an empty text.
    static std::string_view text(TextId id, Language language);

    // The text in the active language.
    std::string lookup(TextId id) const { return std::string(text(id, language_)); }
    std::string lookup(const FilledText& filled) const {
        return fillPlaceholders(text(filled.id, language_), filled.arguments);
    }

    Language language() const { return language_; }

private:
    const Language language_;
};

// The text of the box that an exchange ending with `code` shows; '0' and letters that
// the table does not know show no box.
std::optional<TextId> outcomeBoxText(char code);
// A status letter as the operator is shown it: the letter, or "0x07" for a byte with no
// printable form; the same in the status line, a run's summary and on a terminal.
std::string shownStatusLetter(char code);

}  // namespace dravolin
