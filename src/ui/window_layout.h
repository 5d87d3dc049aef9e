#pragma once

#include <QRect>
#include <QSize>

namespace dravolin {

// Where the main window's controls and picture go for a given client area. The controls
// keep their proportions of the client area; the status line keeps its height.
struct WindowLayout {
    QRect statusLine;     // 1159
    QRect functionGroup;  // 1000
    QRect functionList;   // 1009, field and dropped-down list together
    QRect fileGroup;      // 1001
    QRect fileList;       // 1010, field and dropped-down list together
    QRect picture;

    static WindowLayout forClientSize(QSize client);
};

// The status line's row while an exchange can be cancelled: the Cancel button at its right
// end and, during a long wait, the progress bar between it and a shortened status line.
struct StatusRow {
    QRect statusLine;
    QRect progressBar;  // empty when no progress is shown
    QRect cancelButton;

    static StatusRow within(QRect statusLine, int cancelWidth, bool withProgress);
};

}  // namespace dravolin
