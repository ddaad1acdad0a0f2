// SPDX-License-Identifier: MIT
#include "ui/dialogs/CColorMapDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <vector>

#include "core/base/NumberFormat.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarHColorMap.h"
#include "core/display/Dib24Image.h"
#include "ui/widgets/CColorWell.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

QString numberText(double value, int decimals) {
    return QString::fromStdString(formatShort(value, decimals));
}

void setId(QWidget* widget, int id) {
    widget->setObjectName(QString::number(id));
}

// Bit 31 of the water and no-data colours: set while such cells are not painted.
void setPainted(uint32_t& color, bool painted) {
    color = painted ? (color & ~kColorNotPainted) : (color | kColorNotPainted);
}

}  // namespace

double leadingNumber(const QString& text) {
    const std::string bytes = text.trimmed().toStdString();
    const char* first = bytes.data();
    const char* last = first + bytes.size();
    if (first != last && *first == '+') ++first;
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end == first || !std::isfinite(value)) return 0.0;
    return value;
}

CColorMapPreview::CColorMapPreview(const ZarHColorMap& map, QWidget* parent)
    : QWidget(parent), map_(map) {
    setMinimumSize(120, 24);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CColorMapPreview::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const Dib24 strip = map_.makeStrip(width(), height(), false);
    if (strip.isEmpty()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.drawImage(rect(), dib24ToImage(strip));
}

CColorMapDlg::CColorMapDlg(QWidget* parent, ZarHColorMap& map, int stepMode, double stepHeight,
                           double minElevation, double maxElevation)
    : QDialog(parent), map_(map), minElevation_(minElevation), maxElevation_(maxElevation) {
    setWindowTitle(QStringLiteral("カラーマップ設定"));
    setProperty("helpId", kResourceId);  // F1 and help mode open its page

    // The elevation ramp.
    auto* gradient = new QGroupBox(QStringLiteral("標高グラデーション"), this);
    preview_ = new CColorMapPreview(map_, gradient);
    setId(preview_, kIdPreview);
    preview_->setMinimumHeight(32);
    firstColor_ = new CColorWell(gradient);
    setId(firstColor_, kIdFirstColor);
    firstHeight_ = new QLineEdit(gradient);
    setId(firstHeight_, kIdFirstHeight);
    lastColor_ = new CColorWell(gradient);
    setId(lastColor_, kIdLastColor);
    lastHeight_ = new QLineEdit(gradient);
    setId(lastHeight_, kIdLastHeight);
    for (QLineEdit* box : {firstHeight_, lastHeight_})
        box->setMaximumWidth(90);
    reverse_ = new QCheckBox(QStringLiteral("逆回り"), gradient);
    setId(reverse_, kIdReverse);

    auto* ends = new QHBoxLayout;
    ends->addWidget(firstColor_);
    ends->addWidget(new QLabel(QStringLiteral("標高値(m)"), gradient));
    ends->addWidget(firstHeight_);
    ends->addStretch();
    ends->addWidget(lastColor_);
    ends->addWidget(new QLabel(QStringLiteral("標高値(m)"), gradient));
    ends->addWidget(lastHeight_);
    auto* gradientLayout = new QVBoxLayout(gradient);
    gradientLayout->addWidget(preview_);
    gradientLayout->addLayout(ends);
    gradientLayout->addWidget(reverse_);

    // Fixed colours beside the ramp.
    auto* sea = new QCheckBox(QStringLiteral("水域の色"), this);
    setId(sea, kIdSeaCheck);
    auto* seaColor = new CColorWell(this);
    setId(seaColor, kIdSeaColor);
    auto* noData = new QCheckBox(QStringLiteral("無効領域"), this);
    setId(noData, kIdNoDataCheck);
    auto* noDataColor = new CColorWell(this);
    setId(noDataColor, kIdNoDataColor);
    auto* topColor = new CColorWell(this);
    setId(topColor, kIdTopColor);
    auto* bottomColor = new CColorWell(this);
    setId(bottomColor, kIdBottomColor);
    auto* colours = new QGridLayout;
    colours->addWidget(sea, 0, 0);
    colours->addWidget(seaColor, 0, 1);
    colours->addWidget(noData, 0, 3);
    colours->addWidget(noDataColor, 0, 4);
    colours->addWidget(new QLabel(QStringLiteral("背景色（上側）"), this), 1, 0);
    colours->addWidget(topColor, 1, 1);
    colours->addWidget(new QLabel(QStringLiteral("背景色（下側）"), this), 1, 3);
    colours->addWidget(bottomColor, 1, 4);
    colours->setColumnStretch(2, 1);
    colours->setColumnStretch(5, 1);

    // Step colours.
    stepMode_ = new QComboBox(this);
    setId(stepMode_, kIdStepMode);
    stepMode_->addItems({QStringLiteral("グラデーション"), QStringLiteral("ステップ段彩"),
                         QStringLiteral("ステップ段彩影つき")});
    stepHeight_ = new QLineEdit(this);
    setId(stepHeight_, kIdStepHeight);
    stepHeight_->setMaximumWidth(70);
    auto* optimise = new QPushButton(QStringLiteral("　データ標高値で\n最適化"), this);
    setId(optimise, kIdOptimise);
    auto* steps = new QHBoxLayout;
    steps->addWidget(stepMode_);
    steps->addWidget(stepHeight_);
    steps->addWidget(new QLabel(QStringLiteral("(m)"), this));
    steps->addStretch();
    steps->addWidget(optimise);

    QDialogButtonBox* buttons = okCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gradient);
    layout->addLayout(colours);
    layout->addLayout(steps);
    layout->addWidget(buttons);

    // Current values; the connections come afterwards so that filling the boxes changes nothing.
    const int count = map_.stopCount();
    if (const ColorStop* first = map_.stop(0)) {
        firstColor_->setColor(first->color);
        firstHeight_->setText(numberText(first->height, 1));
        reverse_->setChecked(first->reverse != 0);
    }
    if (const ColorStop* last = map_.stop(count - 1)) {
        lastColor_->setColor(last->color);
        lastHeight_->setText(numberText(last->height, 1));
    }
    sea->setChecked(!(map_.seaColor & kColorNotPainted));
    seaColor->setColor(map_.seaColor & ~kColorNotPainted);
    noData->setChecked(!(map_.noDataColor & kColorNotPainted));
    noDataColor->setColor(map_.noDataColor & ~kColorNotPainted);
    topColor->setColor(map_.topColor);
    bottomColor->setColor(map_.bottomColor);
    stepMode_->setCurrentIndex(std::clamp(stepMode, 0, 2));
    stepHeight_->setText(numberText(stepHeight, 3));
    optimise->setVisible(maxElevation_ > minElevation_);

    connect(firstHeight_, &QLineEdit::textChanged, this,
            [this](const QString& text) { applyHeight(false, text); });
    connect(lastHeight_, &QLineEdit::textChanged, this,
            [this](const QString& text) { applyHeight(true, text); });
    connect(firstColor_, &CColorWell::colorChanged, this,
            [this](uint32_t color) { applyStopColor(false, color); });
    connect(lastColor_, &CColorWell::colorChanged, this,
            [this](uint32_t color) { applyStopColor(true, color); });
    connect(reverse_, &QCheckBox::toggled, this, [this](bool on) {
        if (ColorStop* first = map_.stop(0)) {
            first->reverse = on ? 1 : 0;
            map_.rebuildTable();
        }
        redrawPreview();
    });
    connect(sea, &QCheckBox::toggled, this, [this](bool on) {
        setPainted(map_.seaColor, on);
        redrawPreview();
    });
    // A new well colour keeps the painted / not painted choice of the check box.
    connect(seaColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.seaColor = (map_.seaColor & kColorNotPainted) | (color & ~kColorNotPainted);
        redrawPreview();
    });
    connect(noData, &QCheckBox::toggled, this, [this](bool on) {
        setPainted(map_.noDataColor, on);
        redrawPreview();
    });
    connect(noDataColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.noDataColor = (map_.noDataColor & kColorNotPainted) | (color & ~kColorNotPainted);
        redrawPreview();
    });
    connect(topColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.topColor = color;
        redrawPreview();
    });
    connect(bottomColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.bottomColor = color;
        redrawPreview();
    });
    connect(optimise, &QPushButton::clicked, this, &CColorMapDlg::optimiseHeights);
}

int CColorMapDlg::stepMode() const {
    return stepMode_->currentIndex();
}

double CColorMapDlg::stepHeight() const {
    return leadingNumber(stepHeight_->text());
}

void CColorMapDlg::optimiseHeights() {
    if (!(maxElevation_ > minElevation_)) return;
    // Setting the texts applies them to the ramp through the boxes' change handlers.
    firstHeight_->setText(QString::asprintf("%.0f", std::floor(minElevation_)));
    lastHeight_->setText(QString::asprintf("%.0f", std::ceil(maxElevation_)));
}

void CColorMapDlg::applyHeight(bool last, const QString& text) {
    const int count = map_.stopCount();
    if (count < (last ? 2 : 1)) return;
    std::vector<ColorStop> stops;
    for (int i = 0; i < count; ++i)
        stops.push_back(*map_.stop(i));
    stops[last ? count - 1 : 0].height = leadingNumber(text);
    map_.setStops(stops.data(), static_cast<unsigned>(count));
    redrawPreview();
}

void CColorMapDlg::applyStopColor(bool last, uint32_t color) {
    const int count = map_.stopCount();
    if (count < (last ? 2 : 1)) return;
    std::vector<ColorStop> stops;
    for (int i = 0; i < count; ++i)
        stops.push_back(*map_.stop(i));
    stops[last ? count - 1 : 0].color = color;
    map_.setStops(stops.data(), static_cast<unsigned>(count));
    redrawPreview();
}

void CColorMapDlg::redrawPreview() {
    preview_->update();
}

bool editColorMap(QWidget* parent, HMeshProject& project) {
    std::unique_ptr<ZarHColorMap> copy = project.GetColorMap(0)->clone();
    CColorMapDlg dialog(parent, *copy, project.stepMode, project.stepHeight,
                        project.GetMinElevation(), project.GetMaxElevation());
    if (runModal(dialog) != QDialog::Accepted) return false;
    const int stepMode = dialog.stepMode();
    const double stepHeight = dialog.stepHeight();
    project.SetColorMap(0, std::move(copy));
    project.stepMode = stepMode;
    project.stepHeight = stepHeight;
    return true;
}

}  // namespace kov
