#include "app/help_window.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <string>

#include "app/system_help.h"

namespace dravolin {

namespace {

QString catalogueText(TextId id, Language language) {
    QString text = QString::fromStdString(MessageCatalog(language).lookup(id));
    return text.replace(u'\n', u' ').trimmed().toHtmlEscaped();
}

// What each failure means, in both languages.
struct FailureRow {
    char code;
    TextId text;
    const char* german;
    const char* english;
};

constexpr FailureRow kFailureRows[] = {
    {'N', TextId::DeviceNotResponding,
     "Keine Antwort in der erwarteten Zeit: Kabel, Schnittstelle, Gerätepfad, Rechte prüfen, "
     "oder der Programmer ist aus. Meldet die Box zusätzlich, dass das Gerät nicht mehr "
     "erreichbar ist, ist die Leitung selbst weg (Adapter abgezogen).",
     "No answer in time: cable, port, device path, permissions or the programmer is off. When "
     "the box adds that the device has gone, the line itself went away (adapter unplugged)."},
    {'V', TextId::WrongSettings,
     "Der Programmer meldet andere Leitungseinstellungen: Baudrate, Parität und Stoppbits "
     "vergleichen.",
     "The programmer reports other line settings: compare baud rate, parity and stop bits."},
    {'B', TextId::BccInterfaceError,
     "Eine Antwort kam beschädigt an (ihr Prüfbyte stimmte nicht): Kabel und "
     "Leitungseinstellungen prüfen.",
     "A reply arrived damaged (its check byte did not match): check the cable and the line "
     "settings."},
    {'X', TextId::BccError, "Der Programmer hat einen beschädigten Block empfangen.",
     "The programmer received a damaged frame."},
    {'Q', TextId::CharacterDelay, "Der Programmer hat zu lange auf das nächste Zeichen gewartet.",
     "The programmer waited too long between two characters."},
    {'W', TextId::ProtocolFormat,
     "Der Programmer hat einen Block nicht verstanden, oder eine Datei ist keine gültige "
     "TIV-Datei.",
     "The programmer did not understand a frame, or a file is not a valid tag-data file."},
    {'R', TextId::FileDoesNotExist, "Die verlangte Datei ist im Programmer nicht gespeichert.",
     "The file asked for is not stored in the programmer."},
    {'S', TextId::MemoryFull,
     "Der Programmer hat keinen Platz für die Datei; dort zuerst Dateien löschen.",
     "The programmer has no room for the file; delete files there first."},
    {'D', TextId::FileOpenError,
     "Eine Datei auf diesem Rechner ließ sich nicht lesen oder schreiben: Pfad und Rechte "
     "prüfen.",
     "A file on this computer could not be read or written: check the path and its "
     "permissions."},
};

QString failureTable(Language language) {
    const bool german = language == Language::German;
    QString html = german ? QStringLiteral(
                                "<table cellspacing='6'><tr><th>Code</th><th>Meldung</th>"
                                "<th>Bedeutung</th></tr>")
                          : QStringLiteral(
                                "<table cellspacing='6'><tr><th>Code</th><th>Message</th>"
                                "<th>What it means</th></tr>");
    for (const FailureRow& row : kFailureRows) {
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3</td></tr>")
                    .arg(QChar::fromLatin1(row.code), catalogueText(row.text, language),
                         QString::fromUtf8(german ? row.german : row.english));
    }
    return html + QStringLiteral("</table>");
}

QString germanGuide() {
    return QStringLiteral(
        "<h2>Dravolin</h2>"
        "<p>Dravolin tauscht TIV-Dateien (<tt>.tiv</tt>) über eine serielle Leitung mit dem "
        "Voska-Handprogrammer aus.</p>"
        "<h3>Empfangen und Senden</h3>"
        "<ol>"
        "<li>In der Liste <i>Funktion auswählen</i> <b>Daten empfangen</b> oder <b>Daten "
        "senden</b> wählen.</li>"
        "<li>Mit <b>Datenaustausch &rarr; Datenaustausch starten</b> oder <b>F5</b> "
        "starten. Solange keine Funktion gewählt ist, bleibt Starten gesperrt.</li>"
        "<li><b>Daten empfangen</b> listet die im Programmer gespeicherten Dateien. Eine "
        "davon in der Liste <i>Datei auswählen</i> wählen und angeben, wo sie gespeichert "
        "werden soll.</li>"
        "<li><b>Daten senden</b> fragt nach einer <tt>.tiv</tt>-Datei und sendet sie unter "
        "einem Namen aus höchstens acht Zeichen des Dateinamens. Werden mehrere Dateien "
        "gewählt, gehen sie nacheinander; eine abgelehnte Datei hält die anderen nicht "
        "auf.</li>"
        "</ol>"
        "<p><b>Datenaustausch &rarr; Alle Dateien sichern...</b> fragt nach einem Ordner und "
        "holt jede Datei des Programmers als <tt>NAME.tiv</tt> dorthin. Gibt es dort schon "
        "Dateien dieser Namen, wird einmal gefragt: alle ersetzen, die vorhandenen behalten "
        "oder abbrechen. Die Statuszeile nennt die Datei in Arbeit (<i>Datei 2 von 6</i>), "
        "am Ende zählt eine Übersicht auf, was gespeichert wurde und was mit welchem "
        "Buchstaben misslang. <b>Abbrechen</b> oder <b>Escape</b> beendet die ganze "
        "Sicherung: die Datei in Arbeit wird verworfen, die gespeicherten Dateien bleiben.</p>"
        "<p>Während einer Übertragung zeigt ein Balken neben der Statuszeile die übertragenen "
        "Bytes, den Anteil in Prozent und die verbleibende Zeit. <b>Abbrechen</b> oder "
        "<b>Esc</b> beendet den Austausch sofort: nichts wird gespeichert, eine vorhandene "
        "Datei bleibt, wie sie war. Wer das Fenster während einer Übertragung schließt, wird "
        "zuerst gefragt. Die Eingabetaste im Funktionsfeld startet die gewählte Funktion. "
        "<b>Esc</b> beendet nie das Programm; das tun das Schließfeld, <b>Alt+F4</b> und "
        "<b>Strg+Q</b>. Nur mit der Tastatur: <b>&darr;</b> wählt Daten empfangen, die "
        "Eingabetaste startet, die gelisteten Namen erhalten den Fokus, <b>&darr;</b> und "
        "<b>&uarr;</b> gehen sie durch, die Eingabetaste wählt einen.</p>"
        "<p>Die Statuszeile sagt, wie der Austausch ausging; nach einer kurzen Pause ist das "
        "Fenster für den nächsten bereit. Ein Buchstabe ohne eigene Meldung erscheint in der "
        "Statuszeile, zum Beispiel <i>(A)</i>.</p>");
}

// The records' section; %1 is where the transfer log is.
QString germanRecords() {
    return QStringLiteral(
        "<h3>Übertragungsprotokoll und Mitschnitt</h3>"
        "<p>Jeder Austausch schreibt eine Zeile in das Übertragungsprotokoll "
        "(<tt>%1</tt>): Zeit, Programm, Funktion, Gerät und "
        "Einstellungen, Datei auf dem PC und im Programmer, Bytes, Ergebnis und Dauer. "
        "<b>? &rarr; Übertragungsprotokoll</b> zeigt es, das Neueste zuerst; markierte Zeilen "
        "kopiert <b>Strg+C</b> oder <b>Kopieren</b>. <b>? &rarr; Protokollmitschnitt</b> "
        "schreibt jeden Rahmen und jede Antwort in Hex mit der Uhrzeit in die genannte Datei, "
        "für die Fehlersuche; <tt>dravolin --trace</tt> tut es ab dem Start.</p>"
        "<h3>Wenn ein Austausch misslingt</h3>");
}

QString englishGuide() {
    return QStringLiteral(
        "<h2>Dravolin</h2>"
        "<p>Dravolin exchanges tag-data files (<tt>.tiv</tt>) with the Voska handheld "
        "programmer over a serial line.</p>"
        "<h3>Receiving and sending</h3>"
        "<ol>"
        "<li>Choose <b>Receive Data</b> or <b>Send Data</b> in the list "
        "<i>Select function</i>.</li>"
        "<li>Start with <b>Data exchange &rarr; Start data exchange</b> or press "
        "<b>F5</b>. Start stays grayed until a function is chosen.</li>"
        "<li><b>Receive Data</b> lists the files stored in the programmer. Pick one in the "
        "list <i>Select file</i> and say where to save it.</li>"
        "<li><b>Send Data</b> asks for a <tt>.tiv</tt> file and sends it under a name of at "
        "most eight characters taken from the file name. Several files chosen are sent in "
        "turn; one that is refused does not hold up the others.</li>"
        "</ol>"
        "<p><b>Data exchange &rarr; Back up all files...</b> asks for a folder and fetches "
        "every file of the programmer into it as <tt>NAME.tiv</tt>. When files of those names "
        "are there already, it asks once: replace all, keep the existing ones, or cancel. The "
        "status line names the file in hand (<i>File 2 of 6</i>); at the end a summary lists "
        "what was saved and what failed, with its letter. <b>Cancel</b> or <b>Escape</b> ends "
        "the whole backup: the file in hand is discarded, the files saved stay.</p>"
        "<p>During a transfer a bar beside the status line shows the bytes done, the "
        "percent and the time left. <b>Cancel</b> or <b>Escape</b> ends the exchange at once: "
        "nothing is saved and an existing file stays as it was. Closing the window during a "
        "transfer asks first. Enter in the function field starts the chosen function. "
        "<b>Escape</b> never ends the program; the close box, <b>Alt+F4</b> and "
        "<b>Ctrl+Q</b> do. With the keyboard alone: <b>&darr;</b> chooses Receive Data, "
        "Enter starts it, the listed names take the focus, <b>&darr;</b> and <b>&uarr;</b> "
        "move through them and Enter picks one.</p>"
        "<p>The status line tells how the exchange ended; after a short pause the window "
        "is ready for the next one. A letter without a message of its own shows in the "
        "status line, for example <i>(A)</i>.</p>");
}

QString englishRecords() {
    return QStringLiteral(
        "<h3>Transfer log and protocol trace</h3>"
        "<p>Every exchange adds a line to the transfer log "
        "(<tt>%1</tt>): time, program, function, device and "
        "settings, the file on the PC and in the programmer, bytes, outcome and duration. "
        "<b>? &rarr; Transfer log</b> shows it, newest first; <b>Ctrl+C</b> or <b>Copy</b> "
        "copies the selected lines. <b>? &rarr; Protocol trace</b> writes every frame and "
        "every reply in hex with the time to the file it names, for finding faults; "
        "<tt>dravolin --trace</tt> does so from the start.</p>"
        "<h3>When an exchange fails</h3>");
}

}  // namespace

QString HelpWindow::helpText(Language language) {
    const bool german = language == Language::German;
    QString html = german ? germanGuide() : englishGuide();
    html += serialPortHelp(language);
    html += (german ? germanRecords() : englishRecords())
                .replace(QStringLiteral("%1"), transferLogLocation().toHtmlEscaped());
    html += failureTable(language);
    html += QStringLiteral("<p><i>%1</i> %2</p>")
                .arg(catalogueText(TextId::NoFileSaved, language),
                     german ? QStringLiteral("heißt, dass der Programmer keine Dateien hält.")
                            : QStringLiteral("means the programmer holds no files."));
    return html;
}

HelpWindow::HelpWindow(QWidget* parent, Language language) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(MessageCatalog(language).lookup(TextId::HelpTitle)));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("helpText"));
    browser->setHtml(helpText(language));
    layout->addWidget(browser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &HelpWindow::close);
    layout->addWidget(buttons);
    resize(560, 520);
}

}  // namespace dravolin
