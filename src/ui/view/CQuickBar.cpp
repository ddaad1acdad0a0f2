// SPDX-License-Identifier: MIT
#include "ui/view/CQuickBar.h"

#include <algorithm>

#include "ui/app/CKovVDoc.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CQLegend.h"
#include "ui/view/CScrButton.h"

namespace kov {

CQuickBar::CQuickBar(CKovVDoc* document, QWidget* parent)
    : QWidget(parent), button_(new CScrButton(this)), legend_(new CQLegend(document, this)) {
    setWindowTitle(QStringLiteral("ｽｸﾛｰﾙﾊﾟｯﾄﾞ"));
    button_->move(kPadPosition, kPadPosition);
    legend_->setGeometry(kPadPosition, legendTop(), button_->width(), kLegendHeight);
    setFixedWidth(button_->width() + kMargin);
    setMinimumHeight(legendTop() + kLegendMinimumHeight + kMargin - kPadPosition);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    resize(sizeHint());
    if (document && document->View()) {
        connect(document->View(), &CKovVView::mapInvalidated, this, &CQuickBar::updateLegend);
    }
}

int CQuickBar::legendTop() const {
    return kPadPosition + button_->height() + kLegendGap;
}

QSize CQuickBar::sizeHint() const {
    return {button_->width() + kMargin, legendTop() + kLegendHeight + kMargin - kPadPosition};
}

void CQuickBar::resizeEvent(QResizeEvent* event) {
    const int room = height() - legendTop() - (kMargin - kPadPosition);
    legend_->resize(legend_->width(), std::clamp(room, kLegendMinimumHeight, kLegendHeight));
    QWidget::resizeEvent(event);
}

void CQuickBar::updateLegend() {
    legend_->update();
}

}  // namespace kov
