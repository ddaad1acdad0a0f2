// SPDX-License-Identifier: MIT
// A small text window beside the cursor: the quick coordinate tip of the map view and the tip of
// the measurement tools. Borderless, always on top, never takes the focus, never takes the mouse.
#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/base/LogFont.h"

namespace kov {

// The font of a stored description (decodeLogFont); `fallback` when the description is shorter
// than kLogFontSize.
QFont fontFromLogFont(const uint8_t* bytes, size_t size, const QFont& fallback);
// The font stored under section/key of the settings store, `fallback` when there is none.
QFont readSettingsFont(std::string_view section, std::string_view key, const QFont& fallback);
// The system's fixed-pitch font (with Japanese glyphs): the tip font when none is stored.
QFont defaultTipFont();

class CTipWnd : public QWidget {
    Q_OBJECT
public:
    // Space around the text: the window is the text's extent plus this much each way.
    static constexpr int kMargin = 14;

    explicit CTipWnd(QWidget* parent = nullptr);

    void setTipFont(const QFont& font);
    QFont tipFont() const { return font_; }
    void setTextColor(const QColor& color);

    // Shows the text (lines separated by CR LF) with the window's top-left corner at the global
    // position, kept on the screen. Showing the text that is already shown at the same requested
    // position does nothing and answers false.
    bool showTip(const QString& text, const QPoint& globalPos);
    void hideTip();
    QString Text() const { return text_; }

    // The window size for a text in a font: the text's extent plus kMargin each way.
    static QSize tipSize(const QString& text, const QFont& font);
    // A position moved onto the screen: at least 2 pixels from its left and top edges, and moved
    // back so that the window ends 4 pixels before the right or bottom edge when it would reach
    // closer than that.
    static QPoint clampToScreen(const QPoint& pos, const QSize& size, const QRect& screen);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont font_;
    QColor color_ = Qt::black;
    QString text_;
    QPoint requested_;
};

}  // namespace kov
