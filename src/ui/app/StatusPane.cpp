#include "ui/app/StatusPane.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "ui/widgets/LineHeight.h"

namespace kov {

namespace {
constexpr int kIndent = 1;
}  // namespace

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
    update();
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
    return {preferredWidth_ + 2 * (frameWidth() + kIndent), lineHeight_ + 2 * frameWidth() + 2};
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

}  // namespace kov
