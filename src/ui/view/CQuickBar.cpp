#include "ui/view/CQuickBar.h"

#include "ui/app/CKovVDoc.h"
#include "ui/view/CKovVView.h"
#include "ui/view/CQLegend.h"
#include "ui/view/CScrButton.h"

namespace kov {

CQuickBar::CQuickBar(CKovVDoc* document, QWidget* parent)
    : QWidget(parent), button_(new CScrButton(this)), legend_(new CQLegend(document, this)) {
    setWindowTitle(QStringLiteral("ｽｸﾛｰﾙﾊﾟｯﾄﾞ"));
    button_->move(kPadPosition, kPadPosition);
    const int padSize = button_->width();
    legend_->setGeometry(kPadPosition, kPadPosition + button_->height() + kLegendGap, padSize,
                         kLegendHeight);
    const int right = legend_->geometry().right() + 1;
    const int bottom = legend_->geometry().bottom() + 1;
    setFixedSize(right - kPadPosition + kMargin, bottom - kPadPosition + kMargin);
    if (document && document->View()) {
        connect(document->View(), &CKovVView::mapInvalidated, this, &CQuickBar::updateLegend);
    }
}

void CQuickBar::updateLegend() {
    legend_->update();
}

}  // namespace kov
