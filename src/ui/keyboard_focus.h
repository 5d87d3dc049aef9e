#pragma once

class QWidget;

namespace dravolin {

// Where a box or dialog over `window` ends, the keyboard goes back to `window`, or to the
// modal dialog still open over it. A window manager need not give it back, and without one
// nothing does: the window's shortcuts and Escape would go nowhere until a click.
void giveKeyboardBack(QWidget* window);

}  // namespace dravolin
