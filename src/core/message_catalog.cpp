#include "core/message_catalog.h"

#include <algorithm>
#include <array>
#include <cstdio>

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
    {" Abgebrochen", " Cancelled"},
    {"Das Gerät %1 ist nicht mehr erreichbar.", "The device %1 has gone."},
    {" Fehler - Übertragung der Daten wurde nicht durchgeführt (%1)",
     " Error - data transmission not successful (%1)"},
    {" Übertragung der Daten wurde erfolgreich durchgeführt - gespeichert als %1",
     " Data transmission successful - saved as %1"},
    {" Übertragung der Daten wurde erfolgreich durchgeführt - im Programmer gespeichert als %1",
     " Data transmission successful - stored in the programmer as %1"},
    {"Eine Übertragung läuft.\nAbbrechen und das Programm beenden?",
     "A transfer is in progress.\nCancel it and quit?"},
    {"Abbrechen", "Cancel"},
    {"%1 von %2 Bytes (%3 %)", "%1 of %2 bytes (%3%)"},
    {"noch %1", "%1 left"},
    // The settings dialog's title; in English with the words of its menu item.
    {"Schnittstelle parametrieren", "Configure interface"},
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
    {"Für diese Schnittstelle ist kein Gerät eingestellt", "no device stands for this port"},
    {"%1 gibt es nicht: Ist der Adapter eingesteckt?",
     "%1 does not exist: is the adapter plugged in?"},
    {"Hinter %1 steht kein Gerät: Ist der Adapter eingesteckt?",
     "%1 has no device behind it: is the adapter plugged in?"},
    {"Kein Zugriff auf %1 (Gruppe %2): mit 'sudo usermod -aG %2 %3' der Gruppe beitreten, dann "
     "ab- und wieder anmelden",
     "permission denied on %1 (group %2): join it with 'sudo usermod -aG %2 %3', then log out "
     "and in again"},
    {"Kein Zugriff auf %1 (Gruppe %2): Die Gruppe gilt erst nach neuer Anmeldung; bitte ab- und "
     "wieder anmelden",
     "permission denied on %1 (group %2): you were added to the group after logging in; log out "
     "and in again"},
    {"Kein Zugriff auf %1 (Gruppe %2): Bitte den Administrator um Zugriff bitten",
     "permission denied on %1 (group %2): ask the administrator to let you use it"},
    {"%1 ist belegt: in Gebrauch von %2 (PID %3)", "%1 is busy: in use by %2 (pid %3)"},
    {"%1 ist belegt: Ein anderes Programm hat es geöffnet",
     "%1 is busy: another program has it open"},
    {"%1 ist von einem beendeten Programm gesperrt, die Sperre lässt sich nicht entfernen (%2)",
     "%1 is locked by a program that has ended, and its lock cannot be removed (%2)"},
    {"%1 ist durch %2 gesperrt, das kein laufendes Programm nennt",
     "%1 is locked by %2, which names no running program"},
    {"%1 ist keine serielle Schnittstelle", "%1 is not a serial device"},
    {"%1: %2", "%1: %2"},
    {"Gerät für Com %1", "Device for Com %1"},
    {"fehlt", "missing"},
    {"Pseudo-Terminal", "pseudo-terminal"},
    {"kein serielles Gerät, das das System kennt", "not among the serial devices the system lists"},
    {"Alle Dateien &sichern...", "&Back up all files..."},
    {"Ordner für die Sicherung auswählen", "Select the folder for the backup"},
    {"%1 der %2 Dateien gibt es in %3 schon.\nAlle ersetzen, die vorhandenen behalten oder "
     "abbrechen?",
     "%1 of the %2 files exist already in %3.\nReplace them all, keep the existing ones, or "
     "cancel?"},
    {"Alle ersetzen", "Replace all"},
    {"Vorhandene behalten", "Keep existing"},
    {" Datei %1 von %2: %3", " File %1 of %2: %3"},
    {"%1: gespeichert als %2", "%1: saved as %2"},
    {"%1: im Programmer gespeichert als %2", "%1: stored in the programmer as %2"},
    {"%1: Fehler %2 - %3", "%1: failed, %2 - %3"},
    {"%1: nicht geholt, %2 gibt es schon", "%1: not fetched, %2 exists already"},
    {"%1: übersprungen (%2)", "%1: skipped (%2)"},
    {"%1: abgebrochen, nichts gespeichert", "%1: cancelled, nothing saved"},
    {" %1 von %2 Dateien übertragen", " %1 of %2 files transferred"},
    {"%1: nicht mehr übertragen", "%1: not transferred"},
    // 85 on: the transfer log and the protocol trace.
    {"Ü&bertragungsprotokoll", "&Transfer log"},
    {"Protokoll&mitschnitt nach %1", "&Protocol trace to %1"},
    {"Übertragungsprotokoll", "Transfer log"},
    {"Das Übertragungsprotokoll %1 kann nicht geschrieben werden: %2.\nDer Datenaustausch "
     "geht ohne Protokoll weiter.",
     "The transfer log %1 cannot be written: %2.\nExchanges go on without it."},
    {"Der Protokollmitschnitt %1 kann nicht geschrieben werden: %2.",
     "The protocol trace %1 cannot be written: %2."},
    {"&Kopieren", "&Copy"},
    {"&Aktualisieren", "&Refresh"},
    {"Schließen", "Close"},
    {"Noch keine Übertragung aufgezeichnet (%1).", "No exchange recorded yet (%1)."},
    {"die Standardfehlerausgabe", "standard error"},
    {"Das Übertragungsprotokoll kann nicht gelesen werden: %1",
     "The transfer log cannot be read: %1"},
    {"Zeit\tFunktion\tName im Programmer\tErgebnis\tBytes\tDauer (s)\tDatei auf dem PC\tGerät\t"
     "Leitung\tProgramm",
     "Time\tFunction\tName in the programmer\tOutcome\tBytes\tDuration (s)\tFile on the PC\t"
     "Device\tLine\tProgram"},
    // 97 on: the log window's words for the log's codes.
    {"Verzeichnis", "List"},
    {"Empfangen", "Receive"},
    {"Senden", "Send"},
    {"erfolgreich", "successful"},
    {"abgebrochen", "cancelled"},
    {"Fehler %1", "failed (%1)"},
    // 103 on: the serial devices found.
    {"serielles USB-Gerät%1", "USB serial device%1"},
    {"%1, Seriennummer %2", "%1, serial number %2"},
    {"eingebaute serielle Schnittstelle", "built-in serial port"},
    {"eingebaute serielle Schnittstelle, wohl nicht vorhanden (kein UART gefunden)",
     "built-in serial port, probably absent (no UART found)"},
    {"serielle Schnittstelle (%1)", "serial port (%1)"},
    {"%1 bei %2", "%1 at %2"},
    // 109: a line added to a failure's box when the line brought errors.
    {"Die Schnittstelleneinstellungen des Programmers (Baudrate, Parität, Stoppbits) weichen "
     "wahrscheinlich ab: Programmer suchen verwenden.",
     "The programmer's line settings (baud, parity, stop bits) probably differ: use Find the "
     "programmer."},
    // 110 on: finding the programmer.
    {"Programmer s&uchen", "&Find the programmer"},
    {"%1 mit %2 (Versuch %3 von %4)", "%1 at %2 (try %3 of %4)"},
    {"Nichts hat geantwortet: zweiter Durchgang mit längeren Wartezeiten.",
     "Nothing answered: a second pass with longer waits."},
    {"Der Programmer antwortet auf %1 mit %2 und hat %3 Dateien.",
     "The programmer answers on %1 at %2 and holds %3 files."},
    {"Gerät und Einstellungen übernehmen für", "Take the device and settings for"},
    {"Über&nehmen", "&Take"},
    {"Kein Programmer hat geantwortet.", "No programmer answered."},
    {"%1: %2 Einstellungen versucht, keine Antwort", "%1: %2 settings tried, no answer"},
    {"Suche abgebrochen.", "Search cancelled."},
    {"%1 ist die Konsole des Systems", "%1 is the system's console"},
    {"Keine serielle Schnittstelle zum Suchen gefunden.", "No serial device to search was found."},
    {"Suchen", "Find"},
    // 122: line settings, spelled out where the letters mean nothing to a German reader.
    {"%1 Baud, Parität %2, Stoppbits %3", "%1,%4,%3"},
    // 123 on: the command line's own words, and the system menu's about item.
    {"Die Schnittstelleneinstellungen des Programmers (Baudrate, Parität, Stoppbits) weichen "
     "wahrscheinlich ab: dravolin-cli find sucht den Programmer.",
     "The programmer's line settings (baud, parity, stop bits) probably differ: run "
     "dravolin-cli find."},
    {"%1 gibt es schon; mit -o %1 wird die Datei ersetzt",
     "%1 exists already; give -o %1 to replace it"},
    {"Inf&o über Dravolin...", "&About Dravolin..."},
    // 126 on: what came back where the programmer sent no directory.
    {"%1 antwortete ohne Verzeichnis: %2", "%1 answered without a directory: %2"},
    {"%1 bei %2", "%1 at %2"},
    // 128 on: names the programmer cannot hold.
    {"%1 kann nicht gesendet werden: Der Name enthält %2, das kein Name im Programmer enthalten "
     "kann (nur Latin-1-Zeichen). Bitte die Datei umbenennen.",
     "%1 cannot be sent: its name holds %2, which no name in the programmer can hold (only "
     "Latin-1 characters can). Please rename the file."},
    {"%1 kann nicht gesendet werden: Der Name enthält das Byte %2, das kein UTF-8 ist. Bitte die "
     "Datei umbenennen.",
     "%1 cannot be sent: its name holds the byte %2, which is not UTF-8. Please rename the "
     "file."},
    // 130 on: dravolin-cli get's refusals.
    {"Der Name ergibt keinen Dateinamen (%1); mit -o DATEI einen angeben",
     "%1; name the file with -o FILE"},
    {"%1 kann nicht geprüft werden: %2", "cannot look at %1: %2"},
    // 132 on: a reply that stops part-way, and the bar while the line is silent.
    {"Der Programmer hat mitten in der Antwort aufgehört zu senden.",
     "The programmer stopped sending part-way."},
    {"Leitung schweigt", "line silent"},
    // 134: a line added to the 'R' box, naming the file.
    {"Der Programmer hat keine Datei %1 (mehr).", "The programmer holds no file %1 (any more)."},
}};

}  // namespace

std::string fillPlaceholders(std::string_view text, const std::vector<std::string>& arguments) {
    std::string filled;
    filled.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const std::size_t number = next >= '1' && next <= '9' ? std::size_t(next - '1') : 9;
        if (text[i] == '%' && number < arguments.size()) {
            filled += arguments[number];
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

std::string asOneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\t', ' ');
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string_view MessageCatalog::text(TextId id, Language language) {
    const int index = static_cast<int>(id);
    if (index < 0 || index >= kTextCount) {
        return {};
    }
    const Entry& entry = kTexts[static_cast<std::size_t>(index)];
    return language == Language::German ? entry.german : entry.english;
}

std::string shownStatusLetter(char code) {
    const auto byte = static_cast<unsigned char>(code);
    if (byte >= 0x20 && byte < 0x7F) {
        return std::string(1, code);
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
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

std::string lineSettingsText(long baudRate, char parity, int stopBits, Language language) {
    const TextId parityName = parity == 'O'   ? TextId::ParityOdd
                              : parity == 'E' ? TextId::ParityEven
                                              : TextId::ParityNone;
    return MessageCatalog(language).lookup(FilledText{
        TextId::LineSettingsShown,
        {std::to_string(baudRate), std::string(MessageCatalog::text(parityName, language)),
         std::to_string(stopBits), std::string(1, parity)}});
}

}  // namespace dravolin
