// SPDX-License-Identifier: MIT
// A pane of the status bar: one line of text, or the progress indicator drawn over the pane.
// Its height does not depend on its text, so the status bar never jumps when texts arrive; a
// text wider than the pane is elided (in the middle for pane 0, where paths and the progress
// estimate stand, at the end elsewhere).
#pragma once

#include <QFrame>
#include <QString>
#include <vector>

namespace kov {

class StatusPane : public QFrame {
public:
    // `preferredWidth` is the width of the pane's text when the bar has room; it may shrink to
    // `minimumWidth` (frame and indent come on top of both).
    StatusPane(QWidget* parent, Qt::TextElideMode elide, int preferredWidth, int minimumWidth);

    void setText(const QString& text);
    // The width a text needs to be shown whole in the font.
    static int textWidth(const QFont& font, const QString& text);
    // The pane asks for the width of its text (between its minimum and preferred widths) rather
    // than always its preferred width, so that its neighbours keep theirs while it has less to
    // say.
    void setWidthFollowsText(bool follows);
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
    bool widthFollowsText_ = false;
    int lineHeight_ = 0;
};

// The panes side by side. Each has its full width (its widest text) while the row has room; a
// narrower row takes width from the coordinate panes (1 and 2) first, down to their minimum,
// then from pane 0 (prompts and progress), and only then from the sheet code and elevation
// panes. Room to spare goes to pane 0.
class StatusPaneRow : public QWidget {
public:
    static constexpr int kGap = 2;  // pixels between panes

    explicit StatusPaneRow(QWidget* parent);
    // Panes are added in order, pane 0 first.
    void addPane(StatusPane* pane);
    // Places the panes again (a pane's wish changed).
    void placePanes();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<StatusPane*> panes_;
};

// The widths of five panes in a row `available` pixels wide (gaps already taken off), by the
// rule of StatusPaneRow.
std::vector<int> statusPaneWidths(int available, const std::vector<int>& preferred,
                                  const std::vector<int>& minimum);

}  // namespace kov
