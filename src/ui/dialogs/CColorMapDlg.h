// SPDX-License-Identifier: MIT
// The colour-map dialog: edits a working copy of a colour map (the two ends of the elevation
// ramp, the reverse flag, water, no-data and background colours) and the step mode and step of
// the display, with a gradient preview of the ramp.
#pragma once

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kov {

class CColorWell;
class HMeshProject;
class ZarHColorMap;

// The horizontal gradient strip of a colour map over the whole client area.
class CColorMapPreview : public QWidget {
    Q_OBJECT
public:
    CColorMapPreview(const ZarHColorMap& map, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(360, 32); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ZarHColorMap& map_;
};

class CColorMapDlg : public QDialog {
    Q_OBJECT
public:
    // Our own resource number (its help page is D00502.htm).
    static constexpr unsigned kResourceId = 502;
    // Control ids (object names).
    enum Id {
        kIdPreview = 1101,
        kIdFirstColor = 1102,
        kIdFirstHeight = 1103,
        kIdLastColor = 1104,
        kIdLastHeight = 1105,
        kIdReverse = 1106,
        kIdSeaCheck = 1107,
        kIdSeaColor = 1108,
        kIdNoDataCheck = 1109,
        kIdNoDataColor = 1110,
        kIdTopColor = 1111,
        kIdBottomColor = 1112,
        kIdStepMode = 1113,
        kIdStepHeight = 1114,
        kIdOptimise = 1115,
    };

    // Every change goes to `map` at once (the caller hands a copy and keeps it on OK). The
    // elevation range counts as known when maximum > minimum; only then the optimise button
    // is shown.
    CColorMapDlg(QWidget* parent, ZarHColorMap& map, int stepMode, double stepHeight,
                 double minElevation, double maxElevation);

    ZarHColorMap& colorMap() { return map_; }
    int stepMode() const;
    // The step box as a decimal number (0 when it holds none).
    double stepHeight() const;

    // The optimise button's action: the lowest whole metre at or below the minimum and the
    // highest at or above the maximum go into the height boxes and the ramp.
    void optimiseHeights();

private:
    void applyHeight(bool last, const QString& text);
    void applyStopColor(bool last, uint32_t color);
    void redrawPreview();

    ZarHColorMap& map_;
    double minElevation_;
    double maxElevation_;
    CColorMapPreview* preview_ = nullptr;
    CColorWell* firstColor_ = nullptr;
    CColorWell* lastColor_ = nullptr;
    QLineEdit* firstHeight_ = nullptr;
    QLineEdit* lastHeight_ = nullptr;
    QCheckBox* reverse_ = nullptr;
    QComboBox* stepMode_ = nullptr;
    QLineEdit* stepHeight_ = nullptr;
};

// A decimal number at the start of a text ("12.5m" -> 12.5); 0 when the text starts with none.
double leadingNumber(const QString& text);

// Runs the colour-map dialog on a copy of colour-map slot 0 of the collection with its step
// mode, step and elevation range. On OK the copy becomes slot 0, the step mode and step are
// stored and true is answered; on cancel nothing changes.
bool editColorMap(QWidget* parent, HMeshProject& project);

}  // namespace kov
