#pragma once

#include <QRect>
#include <QSize>

namespace dravolin {

// What the main window's texts need, in pixels, whatever the size of the window.
struct TextRoom {
    int statusWidth = 0;                // the widest status text with the line's frame
    int statusWidthBesideCancel = 0;    // the widest shown while Cancel is offered
    int statusWidthBesideProgress = 0;  // the widest shown beside the progress bar
    int cancelWidth = 0;                // the Cancel button
    int progressWidth = 0;              // the widest text of the progress bar
    int groupTitleWidth = 0;            // the wider group box title with the box's frame
    int groupContentTop = 0;            // from a group box's top to below its title
    int groupContentBottom = 0;         // from the bottom of a group box's contents to its edge
    int listWidth = 0;                  // the widest text of a list's field, with frame and arrow
    int listHeight = 0;                 // the height of a list's field
    int menuWidth = 0;                  // the menu bar with every title shown
};

// Where the main window's controls and picture go for a given client area. The controls
// keep their proportions of the client area; the status line keeps its height.
struct WindowLayout {
    QRect statusLine;
    QRect functionGroup;
    QRect functionList;  // field and dropped-down list together
    QRect fileGroup;
    QRect fileList;  // field and dropped-down list together
    QRect picture;

    static WindowLayout forClientSize(QSize client);

    // The smallest client area whose layout shows every text whole: below it a title, a
    // list's field or the status line would be cut off. Widths and heights are found
    // apart, since the layout scales them apart.
    static QSize minimumClientSize(const TextRoom& room);

    bool widthHolds(const TextRoom& room) const;
    bool heightHolds(const TextRoom& room) const;
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
