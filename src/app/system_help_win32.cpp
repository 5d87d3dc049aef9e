#include "app/system_help.h"

// What the help says of Windows: a Com port stands for a COM port, the settings roam with
// the user in %APPDATA%, the log stays on the machine in %LOCALAPPDATA%, and the language
// follows the one Windows shows.

namespace dravolin {

QString serialPortHelp(Language language) {
    if (language == Language::German) {
        return QStringLiteral(
            "<h3>Serielle Schnittstelle</h3>"
            "<p><b>Konfiguration &rarr; Schnittstelle parametrieren</b> stellt Schnittstelle "
            "(Com 1 bis 4), Baudrate, Parität und Stoppbits ein; sie müssen zu denen des "
            "Programmers passen. Darunter wählt <i>Gerät für Com n</i> den COM-Anschluss der "
            "gewählten Schnittstelle unter den gefundenen, benannt wie im Geräte-Manager "
            "(<i>USB Serial Port (COM5)</i>), oder ein Anschluss wird eingetippt "
            "(<tt>COM7</tt>). Die Liste folgt dem Ein- und Ausstecken von Adaptern. Eine "
            "Com-Schaltfläche, deren Anschluss fehlt, trägt ein Warnzeichen. Mit <b>OK</b> "
            "bestätigte Einstellungen und die Ordner der Dateidialoge gelten auch beim nächsten "
            "Start (<tt>%APPDATA%\\dravolin\\dravolin.ini</tt>). Ohne Wahl ist Com <i>n</i> "
            "<tt>COM<i>n</i></tt>. Nur für einen Lauf, ohne es zu speichern:</p>"
            "<pre>dravolin --port 1=COM5</pre>"
            "<p>Lässt sich die Schnittstelle nicht öffnen, nennt die Meldung den Grund: der "
            "Anschluss fehlt (etwa ein Adapter, der nicht eingesteckt ist) oder ein anderes "
            "Programm hat ihn geöffnet.</p>");
    }
    return QStringLiteral(
        "<h3>Serial port</h3>"
        "<p><b>Configuration &rarr; Configure interface</b> sets the port (Com 1 to 4), baud "
        "rate, parity and stop bits; they must match the programmer's. Below them, <i>Device "
        "for Com n</i> chooses the COM port the chosen port stands for among those found, "
        "named as Device Manager names them (<i>USB Serial Port (COM5)</i>), or a port is "
        "typed in (<tt>COM7</tt>). The list follows adapters being plugged in and pulled out. "
        "A Com button whose COM port is missing carries a warning mark. Settings confirmed "
        "with <b>OK</b> and the folders of the file dialogs are kept for the next start "
        "(<tt>%APPDATA%\\dravolin\\dravolin.ini</tt>). Without a choice Com <i>n</i> is "
        "<tt>COM<i>n</i></tt>. For one run only, without saving it:</p>"
        "<pre>dravolin --port 1=COM5</pre>"
        "<p>When the port cannot be opened, the message says why: the COM port is missing "
        "(an adapter not plugged in, say), or another program has it open.</p>");
}

QString transferLogLocation() {
    return QStringLiteral("%LOCALAPPDATA%\\dravolin\\transfers.log");
}

std::string portOptionHelp() {
    return "  --port N=PATH  use the COM port PATH for Com port N (1 to 4) in this run,\n"
           "                 without saving it; repeat it for other ports, once per port.\n"
           "                 Also --port=N=PATH. PATH is COM5 or \\\\.\\COM12, say.\n"
           "                 Otherwise Com N is the COM port chosen in the port settings,\n"
           "                 else COMN.\n";
}

std::string languageOptionHelp() {
    return "  --language L   de or en: the language of the window. Without it German is\n"
           "                 chosen where Windows shows itself in German, English\n"
           "                 otherwise.\n";
}

std::string keptFilesHelp() {
    return "The port settings confirmed with OK, the COM port of each Com port and the last\n"
           "folder of each file dialog are kept in %APPDATA%\\dravolin\\dravolin.ini.\n"
           "Every exchange adds a line to the transfer log,\n"
           "%LOCALAPPDATA%\\dravolin\\transfers.log; \"?\" -> \"Transfer log\" shows it.\n";
}

}  // namespace dravolin
