// SPDX-License-Identifier: MIT
#include "ui/app/StatusPane.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "ui/widgets/LineHeight.h"

namespace kov {

namespace {
constexpr int kIndent = 1;
}  // namespace

int StatusPane::textWidth(const QFont& font, const QString& text) {
    // Eliding measures in fractions of a pixel: a pane as wide as the rounded advance may still
    // elide its text.
    return static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text))) + 1;
}

StatusPane::StatusPane(QWidget* parent, Qt::TextElideMode elide, int preferredWidth,
                       int minimumWidth)
    : QFrame(parent),
      elide_(elide),
      preferredWidth_(preferredWidth),
      minimumWidth_(std::min(minimumWidth, preferredWidth)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    measureLineHeight();
}

void StatusPane::measureLineHeight() {
    lineHeight_ = lineHeightWithFallback(font());
}

void StatusPane::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        measureLineHeight();
        updateGeometry();
    }
    QFrame::changeEvent(event);
}

void StatusPane::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    if (auto* row = dynamic_cast<StatusPaneRow*>(parentWidget()); row && widthFollowsText_)
        row->placePanes();
    update();
}

void StatusPane::setWidthFollowsText(bool follows) {
    widthFollowsText_ = follows;
}

QRect StatusPane::textRect() const {
    return contentsRect().adjusted(kIndent, 0, -kIndent, 0);
}

QString StatusPane::shownText() const {
    return QFontMetrics(font()).elidedText(text_, elide_, textRect().width());
}

void StatusPane::setIndicator(int percent, int marqueePosition) {
    if (percent == progress && marqueePosition == marquee) return;
    progress = percent;
    marquee = marqueePosition;
    update();
}

QSize StatusPane::sizeHint() const {
    int width = preferredWidth_;
    if (widthFollowsText_) width = std::clamp(textWidth(font(), text_), minimumWidth_, width);
    return {width + 2 * (frameWidth() + kIndent), lineHeight_ + 2 * frameWidth() + 2};
}

QSize StatusPane::minimumSizeHint() const {
    return {minimumWidth_ + 2 * (frameWidth() + kIndent), sizeHint().height()};
}

void StatusPane::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    if (progress < 0 && marquee < 0) {
        painter.setPen(palette().windowText().color());
        painter.drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
        return;
    }
    const QRect inside = contentsRect().adjusted(1, 1, -1, -1);
    painter.fillRect(inside, palette().base());
    const QColor bar = palette().highlight().color();
    if (marquee >= 0) {
        const int block = std::max(4, inside.width() / 5);
        const int x = inside.left() + (inside.width() - block) * marquee / 99;
        painter.fillRect(QRect(x, inside.top(), block, inside.height()), bar);
        return;
    }
    QRect done = inside;
    done.setWidth(inside.width() * progress / 100);
    painter.fillRect(done, bar);
    const QString label = QString::number(progress) + QLatin1Char('%');
    painter.setPen(palette().text().color());
    painter.drawText(inside, Qt::AlignCenter, label);
    painter.setClipRect(done);
    painter.setPen(palette().highlightedText().color());
    painter.drawText(inside, Qt::AlignCenter, label);
}

// ---- the row of panes ---------------------------------------------------------------------

std::vector<int> statusPaneWidths(int available, const std::vector<int>& preferred,
                                  const std::vector<int>& minimum) {
    std::vector<int> widths = preferred;
    if (widths.empty()) return widths;
    int excess = std::accumulate(preferred.begin(), preferred.end(), 0) - available;
    if (excess <= 0) {
        widths[0] -= excess;  // pane 0 takes what is left over
        return widths;
    }
    // Who gives way, in turn: the coordinates, then the prompts, then sheet code and elevation.
    const std::vector<std::vector<size_t>> order = {{1, 2}, {0}, {3, 4}};
    for (const std::vector<size_t>& group : order) {
        for (size_t left = group.size(); left > 0 && excess > 0; --left) {
            // Shares of what is still missing, each pane no further than its minimum.
            const size_t i = group[group.size() - left];
            if (i >= widths.size()) continue;
            const int share = (excess + static_cast<int>(left) - 1) / static_cast<int>(left);
            const int take = std::min(share, widths[i] - std::min(minimum[i], widths[i]));
            widths[i] -= take;
            excess -= take;
        }
    }
    return widths;
}

StatusPaneRow::StatusPaneRow(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StatusPaneRow::addPane(StatusPane* pane) {
    pane->setParent(this);
    panes_.push_back(pane);
    updateGeometry();
}

QSize StatusPaneRow::sizeHint() const {
    int width = kGap * std::max(0, static_cast<int>(panes_.size()) - 1);
    int height = 0;
    for (const StatusPane* pane : panes_) {
        width += pane->sizeHint().width();
        height = std::max(height, pane->sizeHint().height());
    }
    return {width, height};
}

QSize StatusPaneRow::minimumSizeHint() const {
    int width = kGap * std::max(0, static_cast<int>(panes_.size()) - 1);
    for (const StatusPane* pane : panes_)
        width += pane->minimumSizeHint().width();
    return {width, sizeHint().height()};
}

void StatusPaneRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placePanes();
}

void StatusPaneRow::placePanes() {
    std::vector<int> preferred;
    std::vector<int> minimum;
    for (const StatusPane* pane : panes_) {
        preferred.push_back(pane->sizeHint().width());
        minimum.push_back(pane->minimumSizeHint().width());
    }
    const int gaps = kGap * std::max(0, static_cast<int>(panes_.size()) - 1);
    const std::vector<int> widths = statusPaneWidths(width() - gaps, preferred, minimum);
    int x = 0;
    for (size_t i = 0; i < panes_.size(); ++i) {
        panes_[i]->setGeometry(x, 0, widths[i], height());
        x += widths[i] + kGap;
    }
}

}  // namespace kov
