// SPDX-License-Identifier: MIT
#include "ui/widgets/LineHeight.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace kov {

int lineHeightWithFallback(const QFont& font) {
    QTextLayout layout(QStringLiteral("Ag計測読込"), font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return std::max(QFontMetrics(font).height(), static_cast<int>(std::ceil(line.height())));
}

QSize EvenRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // The same row with a text of both scripts.
    QStyleOptionViewItem probe = option;
    initStyleOption(&probe, index);
    probe.text = QStringLiteral("Ag計測読込");
    probe.features |= QStyleOptionViewItem::HasDisplay;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int height =
        style->sizeFromContents(QStyle::CT_ItemViewItem, &probe, {}, option.widget).height();
    size.setHeight(std::max(size.height(), height));
    return size;
}

}  // namespace kov
