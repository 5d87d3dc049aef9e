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

}  // namespace dravolin
