// SPDX-License-Identifier: MIT
#include "ui/view/CTipWnd.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <string>

#include "core/base/SettingsStore.h"

namespace kov {

namespace {

// Families tried after the stored face, so that Japanese text always has glyphs.
const QStringList& japaneseFallbacks(bool fixedPitch) {
    static const QStringList fixed{"Noto Sans Mono CJK JP", "Noto Sans CJK JP", "monospace"};
    static const QStringList proportional{"Noto Sans CJK JP", "sans-serif"};
    return fixedPitch ? fixed : proportional;
}

QStringList textLines(const QString& text) {
    return text.split(QStringLiteral("\r\n"));
}

// The tip's colours.
const QColor kFill(255, 255, 192);
const QColor kLightEdge(192, 192, 192);
const QColor kShadow(128, 128, 128);

}  // namespace

QFont fontFromLogFont(const uint8_t* bytes, size_t size, const QFont& fallback) {
    const std::optional<LogFont> stored = decodeLogFont(bytes, size);
    if (!stored) return fallback;
    QFont font = fallback;
    QStringList families;
    if (!stored->faceUtf8.empty()) families << QString::fromStdString(stored->faceUtf8);
    families << japaneseFallbacks(stored->fixedPitch);
    font.setFamilies(families);
    if (stored->fixedPitch) font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(stored->fixedPitch);
    if (stored->pixelSize > 0) font.setPixelSize(stored->pixelSize);
    if (stored->weight > 0) font.setWeight(static_cast<QFont::Weight>(stored->weight));
    font.setItalic(stored->italic);
    font.setUnderline(stored->underline);
    font.setStrikeOut(stored->strikeOut);
    return font;
}

QFont readSettingsFont(std::string_view section, std::string_view key, const QFont& fallback) {
    uint8_t bytes[kLogFontSize] = {};
    const size_t n = settings::readBinary(section, key, bytes, sizeof bytes);
    return fontFromLogFont(bytes, n, fallback);
}

QFont defaultTipFont() {
    QFont font;
    font.setFamilies(japaneseFallbacks(true));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(14);
    return font;
}

CTipWnd::CTipWnd(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
      font_(defaultTipFont()) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void CTipWnd::setTipFont(const QFont& font) {
    font_ = font;
    if (isVisible()) {
        resize(tipSize(text_, font_));
        update();
    }
}

void CTipWnd::setTextColor(const QColor& color) {
    color_ = color;
    update();
}

QSize CTipWnd::tipSize(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    int width = 0;
    const QStringList lines = textLines(text);
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int height = static_cast<int>(lines.size()) * metrics.height();
    return QSize(width + kMargin, height + kMargin);
}

QPoint CTipWnd::clampToScreen(const QPoint& pos, const QSize& size, const QRect& screen) {
    int x = std::max(pos.x(), screen.left() + 2);
    int y = std::max(pos.y(), screen.top() + 2);
    const int rightLimit = screen.left() + screen.width() - 4;
    const int bottomLimit = screen.top() + screen.height() - 4;
    if (x + size.width() > rightLimit) x = rightLimit - size.width();
    if (y + size.height() > bottomLimit) y = bottomLimit - size.height();
    return QPoint(x, y);
}

bool CTipWnd::showTip(const QString& text, const QPoint& globalPos) {
    if (isVisible() && text == text_ && globalPos == requested_) return false;
    text_ = text;
    requested_ = globalPos;
    const QSize size = tipSize(text_, font_);
    QRect screenRect(0, 0, 1 << 20, 1 << 20);
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) screenRect = screen->geometry();
    // Qt paints the whole window into its backing store before the window appears, so it is
    // never seen half-drawn.
    setGeometry(QRect(clampToScreen(globalPos, size, screenRect), size));
    if (isVisible()) {
        update();
    } else {
        show();
        raise();
    }
    return true;
}

void CTipWnd::hideTip() {
    if (isVisible()) hide();
}

void CTipWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    const int h = height();
    painter.fillRect(rect(), kFill);
    // Light edges along the left and top, a two-pixel shadow along the right and bottom.
    painter.setPen(kLightEdge);
    painter.drawLine(0, 0, w - 1, 0);
    painter.drawLine(0, 0, 0, h - 1);
    painter.setPen(kShadow);
    painter.drawLine(w - 1, 0, w - 1, h - 1);
    painter.drawLine(w - 2, 1, w - 2, h - 1);
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(1, h - 2, w - 1, h - 2);

    painter.setFont(font_);
    painter.setPen(color_);
    const QFontMetrics metrics(font_);
    const QSize extent = tipSize(text_, font_) - QSize(kMargin, kMargin);
    const int left = (w - extent.width()) / 2;
    int top = (h - extent.height()) / 2;
    for (const QString& line : textLines(text_)) {
        painter.drawText(left, top + metrics.ascent(), line);
        top += metrics.height();
    }
}

}  // namespace kov
