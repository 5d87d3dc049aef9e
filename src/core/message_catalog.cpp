#include "core/message_catalog.h"

#include <array>

namespace dravolin {

namespace {

struct Entry {
    std::string_view german;
    std::string_view english;
};

constexpr std::array<Entry, MessageCatalog::kTextCount> kTexts{{
    {"Fehler auf der Schnittstelle:\nBCC-Fehler.\nBitte Schnittstelle überprüfen!",
     "Interface error:\nBCC error.\nPlease check interface!"},
    {"Fehler beim Öffnen der Datei!", "Error when opening file!"},
    {"Fehler bei der Kommunikation:\nGerät antwortet nicht.\nBitte Schnittstelle überprüfen!",
     "Communication error:\nDevice not responding.\nPlease check interface!"},
    {"Fehler bei der Kommunikation:\nZeichenverzugszeit überschritten.\nBitte Schnittstelle "
     "überprüfen!",
     "Communication error:\nCharacter delay time exceeded.\nPlease check interface!"},
    {"Angegebene Datei nicht vorhanden!", "Specified file does not exist!"},
    {"Speicher des Voska-Programmers voll!", "Voska Programmer memory full!"},
    {"Speicher des Voska-Programmers voll!", "Voska Programmer memory full!"},
    // The English text has never had its closing parenthesis; it is kept as it is.
    {"Fehler bei der Kommunikation:\nFalsche Einstellungen der Schnittstellen!\n(Baudrate, "
     "Parity, Datenbit, Stopbit)",
     "Communication error:\nWrong interface settings!\n(baud rate, parity, data bit, stop bit"},
    {"Protokollformat nicht eingehalten!", "Protocol format not observed!"},
    {"BCC-Fehler!", "BCC error!"},
    {" Übertragung der Daten wurde erfolgreich durchgeführt", " Data transmission successful"},
    {" Fehler - Übertragung der Daten wurde nicht durchgeführt",
     " Error - data transmission not successful"},
    {"Funktion auswählen", "Select function"},
    {"Datenaustausch starten\tF5", "Start data exchange\tF5"},
    {" Bitte Funktion auswählen", " Please select function"},
    {"Keine Datei gespeichert!", "No file saved!"},
    {"Datei auswählen", "Select file"},
    {" Bitte zu übertragende Datei auswählen", " Please select file to send"},
    {"tiv", "tiv"},
    {"Alle Dateien|*.*|TIV - Codeträger-Daten|*.tiv|", "All files|*.*|TIV code tag data|*.tiv|"},
    {"TIV-Datei auswählen", "Select TIV file"},
    {" Bitte warten", " Please wait"},
    {" Bitte zu übertragende Datei auswählen", " Please select file to send"},
    {"TIV-Datei speichern", "Save TIV file"},
    {" Funktion starten durch Menü \"Datenaustausch -> Datenaustausch starten\tF5\"",
     "Start function using \"Data exchange -> Start data exchange\tF5\""},
    {" Bitte Funktion auswählen", " Please select function"},
    {"&Datenaustausch", "&Data exchange"},
    {"&Konfiguration", "&Configuration"},
    {"&?", "&?"},
    {"Programm be&enden", "&Quit program"},
    {"Schnittstelle parametrieren", "Configure interface"},
    {"&Hilfe\tF1", "&Help\tF1"},
    {"&Info", "&Info"},
    {"Daten empfangen", "Receive Data"},
    {"Daten senden", "Send Data"},
    {"Serielle Schnittstelle parametrieren", "Configure serial interface"},
    {"&Baudrate", "&Baud rate"},
    {"&Datenbits", "&Data bits"},
    {"&Stoppbits", "&Stop bits"},
    {"&Parität", "&Parity"},
    {"Schnittstelle", "Port"},
    {"ungerade", "odd"},
    {"gerade", "even"},
    {"keine", "none"},
    {"Baud", "baud"},
    {"Dravolin-Hilfe", "Dravolin Help"},
}};

}  // namespace

std::string_view MessageCatalog::text(TextId id, Language language) {
    const int index = static_cast<int>(id);
    if (index < 0 || index >= kTextCount) {
        return {};
    }
    const Entry& entry = kTexts[static_cast<std::size_t>(index)];
    return language == Language::German ? entry.german : entry.english;
}

std::optional<TextId> outcomeBoxText(char code) {
    switch (code) {
        case 'B':
            return TextId::BccInterfaceError;
        case 'D':
            return TextId::FileOpenError;
        case 'N':
            return TextId::DeviceNotResponding;
        case 'Q':
            return TextId::CharacterDelay;
        case 'R':
            return TextId::FileDoesNotExist;
        case 'S':
            return TextId::MemoryFull;
        case 'T':
            return TextId::MemoryFullToo;
        case 'V':
            return TextId::WrongSettings;
        case 'W':
            return TextId::ProtocolFormat;
        case 'X':
            return TextId::BccError;
        default:
            return std::nullopt;
    }
}

}  // namespace dravolin
