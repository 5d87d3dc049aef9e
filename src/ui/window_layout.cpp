#include "ui/window_layout.h"

#include <algorithm>

namespace dravolin {

namespace {

// Products are truncated toward zero, never rounded: 0.3 * 333 gives 99.
int part(double factor, int length) {
    return static_cast<int>(factor * length);
}

QRect proportional(QSize client, double x, double y, double width, double height) {
    const int w = client.width();
    const int h = client.height();
    return {part(x, w), part(y, h), part(width, w), part(height, h)};
}

// Far beyond any screen; a text that needs more is given up on.
constexpr int kLargestSide = 20000;

// A list's field sits below its group's title and inside its frame.
bool fieldFitsInGroup(const QRect& list, const QRect& group, const TextRoom& room) {
    return list.y() >= group.y() + room.groupContentTop &&
           list.y() + room.listHeight <= group.y() + group.height() - room.groupContentBottom;
}

constexpr int kRowGap = 2;
// The share of the row the status line keeps beside the progress bar: enough for
// " Please wait".
constexpr double kStatusShareBesideProgress = 0.3;

}  // namespace

WindowLayout WindowLayout::forClientSize(QSize client) {
    const int w = client.width();
    const int h = client.height();
    WindowLayout layout;
    layout.statusLine = QRect(2, h - 22, w - 4, 21);
    layout.functionGroup = proportional(client, 0.025, 0.05, 0.3, 0.25);
    layout.functionList = proportional(client, 0.05, 0.11, 0.25, 0.15);
    layout.fileGroup = proportional(client, 0.025, 0.38, 0.3, 0.5);
    layout.fileList = proportional(client, 0.05, 0.43, 0.25, 0.42);
    layout.picture = proportional(client, 0.34, 0.02, 0.66, 0.98);
    return layout;
}

bool WindowLayout::widthHolds(const TextRoom& room) const {
    const int clientWidth = statusLine.width() + 4;
    // While an exchange runs, Cancel and the progress bar share the status line's row.
    const StatusRow besideCancel = StatusRow::within(statusLine, room.cancelWidth, false);
    const StatusRow besideProgress = StatusRow::within(statusLine, room.cancelWidth, true);
    return clientWidth >= room.menuWidth && statusLine.width() >= room.statusWidth &&
           besideCancel.cancelButton.width() >= room.cancelWidth &&
           besideCancel.statusLine.width() >= room.statusWidthBesideCancel &&
           besideProgress.statusLine.width() >= room.statusWidthBesideProgress &&
           besideProgress.progressBar.width() >= room.progressWidth &&
           functionGroup.width() >= room.groupTitleWidth &&
           fileGroup.width() >= room.groupTitleWidth && functionList.width() >= room.listWidth &&
           fileList.width() >= room.listWidth;
}

bool WindowLayout::heightHolds(const TextRoom& room) const {
    return fieldFitsInGroup(functionList, functionGroup, room) &&
           fieldFitsInGroup(fileList, fileGroup, room) &&
           fileGroup.y() + fileGroup.height() <= statusLine.y();
}

QSize WindowLayout::minimumClientSize(const TextRoom& room) {
    // Truncation makes some distances shrink by a pixel as the area grows, so the first
    // size that holds is not enough: the minimum is the size from which every larger one
    // holds. The other side is held far out so that it never decides.
    int width = kLargestSide;
    while (width > 1 && forClientSize(QSize(width - 1, kLargestSide)).widthHolds(room)) {
        --width;
    }
    int height = kLargestSide;
    while (height > 1 && forClientSize(QSize(kLargestSide, height - 1)).heightHolds(room)) {
        --height;
    }
    return {width, height};
}

StatusRow StatusRow::within(QRect statusLine, int cancelWidth, bool withProgress) {
    StatusRow row;
    const int buttonWidth = std::min(cancelWidth, statusLine.width() / 3);
    row.cancelButton = QRect(statusLine.right() - buttonWidth + 1, statusLine.y(), buttonWidth,
                             statusLine.height());
    const int rest = statusLine.width() - buttonWidth - kRowGap;
    if (!withProgress) {
        row.statusLine = QRect(statusLine.x(), statusLine.y(), rest, statusLine.height());
        return row;
    }
    const int statusWidth = part(kStatusShareBesideProgress, rest);
    row.statusLine = QRect(statusLine.x(), statusLine.y(), statusWidth, statusLine.height());
    row.progressBar = QRect(statusLine.x() + statusWidth + kRowGap, statusLine.y(),
                            rest - statusWidth - kRowGap, statusLine.height());
    return row;
}

}  // namespace dravolin
