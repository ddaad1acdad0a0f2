// A pane of the status bar: one line of text, or the progress indicator drawn over the pane.
// Its size does not depend on its text, so the status bar neither jumps when texts arrive nor
// pushes its neighbours: a text wider than the pane is elided (in the middle for pane 0, where
// paths and the progress estimate stand, at the end elsewhere).
#pragma once

#include <QFrame>
#include <QString>

namespace kov {

class StatusPane : public QFrame {
public:
    // `preferredWidth` is the width of the pane's text when the bar has room; it may shrink to
    // `minimumWidth` (frame and indent come on top of both).
    StatusPane(QWidget* parent, Qt::TextElideMode elide, int preferredWidth, int minimumWidth);

    void setText(const QString& text);
    QString text() const { return text_; }
    // The text as drawn at the pane's current width.
    QString shownText() const;

    int progress = -1;  // percent while a bounded indicator runs
    int marquee = -1;   // position 0..99 while an endless one runs
    void setIndicator(int percent, int marqueePosition);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QRect textRect() const;
    void measureLineHeight();

    QString text_;
    Qt::TextElideMode elide_;
    int preferredWidth_;
    int minimumWidth_;
    int lineHeight_ = 0;
};

}  // namespace kov
