// SPDX-License-Identifier: MIT
// The scroll pad bar: the eight-way scroll pad above the colour legend. The main frame puts it
// in a dock window titled "ｽｸﾛｰﾙﾊﾟｯﾄﾞ".
#pragma once

#include <QWidget>

namespace kov {

class CKovVDoc;
class CQLegend;
class CScrButton;

class CQuickBar : public QWidget {
    Q_OBJECT
public:
    // The pad sits at (6, 6), the legend 16 pixels below it, 320 pixels high and as wide as the
    // pad; the bar measures both plus 12 pixels. In a low window the legend gives up height,
    // down to 64 pixels.
    static constexpr int kPadPosition = 6;
    static constexpr int kLegendGap = 16;
    static constexpr int kLegendHeight = 320;
    static constexpr int kLegendMinimumHeight = 64;
    static constexpr int kMargin = 12;

    // Follows the document's map view, when it has one, so that the legend is repainted with
    // the map.
    CQuickBar(CKovVDoc* document, QWidget* parent = nullptr);

    CScrButton* scrollButton() const { return button_; }
    CQLegend* legend() const { return legend_; }

    QSize sizeHint() const override;

public slots:
    // Repaints the legend (the colour map changed).
    void updateLegend();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int legendTop() const;

    CScrButton* button_;
    CQLegend* legend_;
};

}  // namespace kov
