// SPDX-License-Identifier: MIT
// The colour legend of the scroll pad: a vertical strip of the project's colour map with the
// highest ramp height above it and the lowest below it. When the project holds a flood result
// with ranks and the legend is tall enough, a column of the rank colours with their heights
// ("%s(m)～") follows below, and the strip gives up the height they take.
#pragma once

#include <QString>
#include <QWidget>

namespace kov {

class CKovVDoc;
class ZarHColorMap;

struct LegendLabels {
    QString top;     // the last stop's height, "200 (m)"
    QString bottom;  // the first stop's height, "0 (m)"
};

// Empty texts for a colour map without stops.
LegendLabels colorMapLegendLabels(const ZarHColorMap& map);

class CQLegend : public QWidget {
    Q_OBJECT
public:
    // The room above and below the strip for the labels.
    static constexpr int kLabelBand = 20;
    // The flood ranks: a colour box of kRankBox pixels and its label on each row, kRankGap
    // pixels below the lowest height; they are shown only when the strip keeps kMinimumStrip
    // pixels and every label fits beside its box.
    static constexpr int kRankBox = 10;
    static constexpr int kRankGap = 4;
    static constexpr int kMinimumStrip = 24;

    explicit CQLegend(CKovVDoc* document, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CKovVDoc* document_;
};

}  // namespace kov
