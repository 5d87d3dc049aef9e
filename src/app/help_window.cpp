#include "app/help_window.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <string>

#include "core/message_catalog.h"

namespace dravolin {

namespace {

QString catalogueText(TextId id) {
    QString text = QString::fromStdString(MessageCatalog(Language::English).lookup(id));
    return text.replace(u'\n', u' ').trimmed().toHtmlEscaped();
}

QString failureRow(char code, TextId id, const char* meaning) {
    return QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3</td></tr>")
        .arg(QChar::fromLatin1(code), catalogueText(id), QString::fromUtf8(meaning));
}

}  // namespace

QString HelpWindow::helpText() {
    QString html;
    html += QStringLiteral(
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
        "most eight characters taken from the file name.</li>"
        "</ol>"
        "<p>During a transfer a bar beside the status line shows the bytes done, the "
        "percent and the time left. <b>Cancel</b> or <b>Escape</b> ends the exchange at once: "
        "nothing is saved and an existing file stays as it was. Closing the window during a "
        "transfer asks first. Enter in the function field starts the chosen function.</p>"
        "<p>The status line tells how the exchange ended; after a short pause the window "
        "is ready for the next one. A letter without a message of its own shows in the "
        "status line, for example <i>(A)</i>.</p>"
        "<h3>Serial port</h3>"
        "<p><b>Configuration &rarr; Configure interface</b> sets the port (Com 1 to 4), baud "
        "rate, parity and stop bits; they must match the programmer's. The settings last "
        "until the program ends. Com <i>n</i> is <tt>/dev/ttyS(n-1)</tt> unless mapped "
        "otherwise; the tooltip of each Com button names its device. To use another device, "
        "such as a USB adapter, start the program with</p>"
        "<pre>dravolin --port 1=/dev/ttyUSB0</pre>"
        "<p>(repeat <tt>--port</tt> for more ports). To open a serial device your user must "
        "usually belong to the <tt>dialout</tt> group: <tt>sudo usermod -aG dialout "
        "$USER</tt>, then log in again.</p>"
        "<h3>When an exchange fails</h3>"
        "<table cellspacing='6'><tr><th>Code</th><th>Message</th><th>What it means</th></tr>");
    html += failureRow('N', TextId::DeviceNotResponding,
                       "No answer in time: cable, port, device path, permissions or the "
                       "programmer is off. When the box adds that the device has gone, the "
                       "line itself went away (adapter unplugged).");
    html += failureRow('V', TextId::WrongSettings,
                       "The programmer reports other line settings: compare baud rate, "
                       "parity and stop bits.");
    html += failureRow('B', TextId::BccInterfaceError,
                       "A reply arrived damaged (its check byte did not match): check the "
                       "cable and the line settings.");
    html += failureRow('X', TextId::BccError, "The programmer received a damaged frame.");
    html += failureRow('Q', TextId::CharacterDelay,
                       "The programmer waited too long between two characters.");
    html += failureRow('W', TextId::ProtocolFormat,
                       "The programmer did not understand a frame, or a file is not a valid "
                       "tag-data file.");
    html += failureRow('R', TextId::FileDoesNotExist,
                       "The file asked for is not stored in the programmer.");
    html += failureRow('S', TextId::MemoryFull,
                       "The programmer has no room for the file; delete files there "
                       "first.");
    html += failureRow('D', TextId::FileOpenError,
                       "A file on this computer could not be read or written: check the path "
                       "and its permissions.");
    html += QStringLiteral(
        "</table>"
        "<p><i>No file saved!</i> means the programmer holds no files.</p>");
    return html;
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dravolin Help"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("helpText"));
    browser->setHtml(helpText());
    layout->addWidget(browser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &HelpWindow::close);
    layout->addWidget(buttons);
    resize(560, 520);
}

}  // namespace dravolin
