// SPDX-License-Identifier: MIT
#include "ui/measure/ToolWindow.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QFontMetrics>
#include <QStyle>

namespace kov {

int widthForTitle(const QWidget& window) {
    QFont font = QApplication::font();
    font.setBold(true);
    // The icon and three buttons, each about a title bar's height wide, and the gaps between
    // them and the title (about one more).
    const int decoration = 5 * window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QFontMetrics(font).horizontalAdvance(window.windowTitle()) + decoration;
}

void makeToolWindow(QDialog& dialog) {
    // A tool (utility) window: window managers that give dialogs a minimise button regardless
    // of the hints (openbox) leave it off a tool window.
    dialog.setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    auto* box = qobject_cast<QBoxLayout*>(dialog.layout());
    if (!box) return;
    // A spacer as wide as the title: a fixed-size layout then never makes the window narrower.
    const QMargins margins = box->contentsMargins();
    const int inner = widthForTitle(dialog) - margins.left() - margins.right();
    box->addSpacerItem(new QSpacerItem(inner, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));
}

}  // namespace kov
