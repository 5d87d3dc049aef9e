#include "app/system_help.h"

// What the help says of Linux: devices are files under /dev, the settings and the log
// follow the desktop's base directories, the locale chooses the language.

namespace dravolin {

QString serialPortHelp(Language language) {
    if (language == Language::German) {
        return QStringLiteral(
            "<h3>Serielle Schnittstelle</h3>"
            "<p><b>Konfiguration &rarr; Schnittstelle parametrieren</b> stellt Schnittstelle "
            "(Com 1 bis 4), Baudrate, Parität und Stoppbits ein; sie müssen zu denen des "
            "Programmers passen. Darunter wählt <i>Gerät für Com n</i> das Gerät der gewählten "
            "Schnittstelle aus den gefundenen seriellen Geräten (USB-Adapter zuerst, mit ihrem "
            "festen Namen unter <tt>/dev/serial/by-id</tt>), oder ein Pfad wird eingetippt. Die "
            "Liste folgt dem Ein- und Ausstecken von Adaptern. Eine Com-Schaltfläche, deren Gerät "
            "fehlt, trägt ein Warnzeichen. Mit <b>OK</b> bestätigte Einstellungen und die Ordner "
            "der Dateidialoge gelten auch beim nächsten Start (<tt>~/.config/dravolin/"
            "dravolin.conf</tt>). Ohne Wahl ist Com <i>n</i> <tt>/dev/ttyS(n-1)</tt>. Nur für "
            "einen Lauf, ohne es zu speichern:</p>"
            "<pre>dravolin --port 1=/dev/ttyUSB0</pre>"
            "<p>Lässt sich die Schnittstelle nicht öffnen, nennt die Meldung den Grund: das Gerät "
            "fehlt, der Zugriff ist verweigert (meist fehlt die Gruppe <tt>dialout</tt>: <tt>sudo "
            "usermod -aG dialout $USER</tt>, danach neu anmelden) oder ein anderes Programm hat "
            "es.</p>");
    }
    return QStringLiteral(
        "<h3>Serial port</h3>"
        "<p><b>Configuration &rarr; Configure interface</b> sets the port (Com 1 to 4), baud "
        "rate, parity and stop bits; they must match the programmer's. Below them, <i>Device "
        "for Com n</i> chooses the device of the chosen port among the serial devices found "
        "(USB adapters first, by their stable names under <tt>/dev/serial/by-id</tt>), or a "
        "path is typed in. The list follows adapters being plugged in and pulled out. A Com "
        "button whose device is missing carries a warning mark. Settings confirmed with "
        "<b>OK</b> and the folders of the file dialogs are kept for the next start "
        "(<tt>~/.config/dravolin/dravolin.conf</tt>). Without a choice Com <i>n</i> is "
        "<tt>/dev/ttyS(n-1)</tt>. For one run only, without saving it:</p>"
        "<pre>dravolin --port 1=/dev/ttyUSB0</pre>"
        "<p>When the port cannot be opened, the message says why: the device is missing, "
        "permission is denied (usually the <tt>dialout</tt> group is missing: <tt>sudo "
        "usermod -aG dialout $USER</tt>, then log in again), or another program has it.</p>");
}

QString transferLogLocation() {
    return QStringLiteral("~/.local/state/dravolin/transfers.log");
}

std::string portOptionHelp() {
    return "  --port N=PATH  use device PATH for Com port N (1 to 4) in this run, without\n"
           "                 saving it; repeat it for other ports, once per port. Also\n"
           "                 --port=N=PATH. Otherwise Com N is the device chosen in the port\n"
           "                 settings, else /dev/ttyS(N-1).\n";
}

std::string languageOptionHelp() {
    return "  --language L   de or en: the language of the window. Without it German is\n"
           "                 chosen where LC_ALL, LC_MESSAGES or LANG (the first set)\n"
           "                 names a German locale, English otherwise.\n";
}

std::string keptFilesHelp() {
    return "The port settings confirmed with OK, the device of each Com port and the last\n"
           "folder of each file dialog are kept in $XDG_CONFIG_HOME/dravolin/dravolin.conf\n"
           "(normally ~/.config/dravolin/dravolin.conf).\n"
           "Every exchange adds a line to the transfer log, $XDG_STATE_HOME/dravolin/\n"
           "transfers.log (normally ~/.local/state/dravolin/transfers.log); \"?\" ->\n"
           "\"Transfer log\" shows it.\n";
}

}  // namespace dravolin
