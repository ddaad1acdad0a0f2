// The colour legend of the scroll pad: a vertical strip of the project's colour map with the
// highest ramp height above it and the lowest below it.
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

    explicit CQLegend(CKovVDoc* document, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CKovVDoc* document_;
};

}  // namespace kov
