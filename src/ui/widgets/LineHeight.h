// SPDX-License-Identifier: MIT
// The height of one line of text as Qt draws it, fallback fonts included: Japanese text in a
// Latin interface font is drawn with a taller CJK font, so widgets sized by the interface font
// alone grow or show uneven rows once such a text appears.
#pragma once

#include <QStyledItemDelegate>

class QFont;

namespace kov {

int lineHeightWithFallback(const QFont& font);

// Gives every row of a list the same height, tall enough for Japanese and Latin texts alike.
class EvenRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace kov
