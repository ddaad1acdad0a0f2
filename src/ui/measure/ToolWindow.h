// SPDX-License-Identifier: MIT
// The look of the measuring tools' small windows (the result window, the properties dialog):
// a title and a close box, no minimise or maximise buttons, and wide enough for the window
// manager to show the whole title.
#pragma once

class QDialog;
class QWidget;

namespace kov {

// The width a window needs for its whole title beside the title bar's icon and buttons: the
// title in a bold application font (as title bars commonly draw it) and room for the icon,
// three buttons and the gaps between them.
int widthForTitle(const QWidget& window);

// Gives the dialog the tool window buttons and, when its layout is a box layout, keeps it at
// least widthForTitle wide. Call after the dialog's title and layout are set.
void makeToolWindow(QDialog& dialog);

}  // namespace kov
