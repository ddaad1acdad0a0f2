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

QString Number(double value, int decimals) {
    return QString::fromStdString(formatShort(value, decimals));
}

void SetId(QWidget* widget, int id) {
    widget->setObjectName(QString::number(id));
}

// Bit 31 of the water and no-data colours: set while such cells are not painted.
void SetPainted(uint32_t& color, bool painted) {
    color = painted ? (color & ~kColorNotPainted) : (color | kColorNotPainted);
}

}  // namespace

double LeadingNumber(const QString& text) {
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
    if (strip.IsEmpty()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.drawImage(rect(), Dib24ToImage(strip));
}

CColorMapDlg::CColorMapDlg(QWidget* parent, ZarHColorMap& map, int stepMode, double stepHeight,
                           double minElevation, double maxElevation)
    : QDialog(parent), map_(map), minElevation_(minElevation), maxElevation_(maxElevation) {
    setWindowTitle(QStringLiteral("カラーマップ設定"));

    // The elevation ramp.
    auto* gradient = new QGroupBox(QStringLiteral("標高グラデーション"), this);
    preview_ = new CColorMapPreview(map_, gradient);
    SetId(preview_, kIdPreview);
    preview_->setMinimumHeight(32);
    firstColor_ = new CColorWell(gradient);
    SetId(firstColor_, kIdFirstColor);
    firstHeight_ = new QLineEdit(gradient);
    SetId(firstHeight_, kIdFirstHeight);
    lastColor_ = new CColorWell(gradient);
    SetId(lastColor_, kIdLastColor);
    lastHeight_ = new QLineEdit(gradient);
    SetId(lastHeight_, kIdLastHeight);
    for (QLineEdit* box : {firstHeight_, lastHeight_})
        box->setMaximumWidth(90);
    reverse_ = new QCheckBox(QStringLiteral("逆回り"), gradient);
    SetId(reverse_, kIdReverse);

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
    SetId(sea, kIdSeaCheck);
    auto* seaColor = new CColorWell(this);
    SetId(seaColor, kIdSeaColor);
    auto* noData = new QCheckBox(QStringLiteral("無効領域"), this);
    SetId(noData, kIdNoDataCheck);
    auto* noDataColor = new CColorWell(this);
    SetId(noDataColor, kIdNoDataColor);
    auto* topColor = new CColorWell(this);
    SetId(topColor, kIdTopColor);
    auto* bottomColor = new CColorWell(this);
    SetId(bottomColor, kIdBottomColor);
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
    SetId(stepMode_, kIdStepMode);
    stepMode_->addItems({QStringLiteral("グラデーション"), QStringLiteral("ステップ段彩"),
                         QStringLiteral("ステップ段彩影つき")});
    stepHeight_ = new QLineEdit(this);
    SetId(stepHeight_, kIdStepHeight);
    stepHeight_->setMaximumWidth(70);
    auto* optimise = new QPushButton(QStringLiteral("　データ標高値で\n最適化"), this);
    SetId(optimise, kIdOptimise);
    auto* steps = new QHBoxLayout;
    steps->addWidget(stepMode_);
    steps->addWidget(stepHeight_);
    steps->addWidget(new QLabel(QStringLiteral("(m)"), this));
    steps->addStretch();
    steps->addWidget(optimise);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    SetId(ok, 1);
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    SetId(cancel, 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gradient);
    layout->addLayout(colours);
    layout->addLayout(steps);
    layout->addWidget(buttons);

    // Current values; the connections come afterwards so that filling the boxes changes nothing.
    const int count = map_.stopCount();
    if (const ColorStop* first = map_.stop(0)) {
        firstColor_->SetColor(first->color);
        firstHeight_->setText(Number(first->height, 1));
        reverse_->setChecked(first->reverse != 0);
    }
    if (const ColorStop* last = map_.stop(count - 1)) {
        lastColor_->SetColor(last->color);
        lastHeight_->setText(Number(last->height, 1));
    }
    sea->setChecked(!(map_.seaColor & kColorNotPainted));
    seaColor->SetColor(map_.seaColor & ~kColorNotPainted);
    noData->setChecked(!(map_.noDataColor & kColorNotPainted));
    noDataColor->SetColor(map_.noDataColor & ~kColorNotPainted);
    topColor->SetColor(map_.topColor);
    bottomColor->SetColor(map_.bottomColor);
    stepMode_->setCurrentIndex(std::clamp(stepMode, 0, 2));
    stepHeight_->setText(Number(stepHeight, 3));
    optimise->setVisible(maxElevation_ > minElevation_);

    connect(firstHeight_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ApplyHeight(false, text); });
    connect(lastHeight_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ApplyHeight(true, text); });
    connect(firstColor_, &CColorWell::colorChanged, this,
            [this](uint32_t color) { ApplyStopColor(false, color); });
    connect(lastColor_, &CColorWell::colorChanged, this,
            [this](uint32_t color) { ApplyStopColor(true, color); });
    connect(reverse_, &QCheckBox::toggled, this, [this](bool on) {
        if (ColorStop* first = map_.stop(0)) {
            first->reverse = on ? 1 : 0;
            map_.rebuildTable();
        }
        RedrawPreview();
    });
    connect(sea, &QCheckBox::toggled, this, [this](bool on) {
        SetPainted(map_.seaColor, on);
        RedrawPreview();
    });
    // A new well colour keeps the painted / not painted choice of the check box.
    connect(seaColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.seaColor = (map_.seaColor & kColorNotPainted) | (color & ~kColorNotPainted);
        RedrawPreview();
    });
    connect(noData, &QCheckBox::toggled, this, [this](bool on) {
        SetPainted(map_.noDataColor, on);
        RedrawPreview();
    });
    connect(noDataColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.noDataColor = (map_.noDataColor & kColorNotPainted) | (color & ~kColorNotPainted);
        RedrawPreview();
    });
    connect(topColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.topColor = color;
        RedrawPreview();
    });
    connect(bottomColor, &CColorWell::colorChanged, this, [this](uint32_t color) {
        map_.bottomColor = color;
        RedrawPreview();
    });
    connect(optimise, &QPushButton::clicked, this, &CColorMapDlg::OptimiseHeights);
}

int CColorMapDlg::StepMode() const {
    return stepMode_->currentIndex();
}

double CColorMapDlg::StepHeight() const {
    return LeadingNumber(stepHeight_->text());
}

void CColorMapDlg::OptimiseHeights() {
    if (!(maxElevation_ > minElevation_)) return;
    // Setting the texts applies them to the ramp through the boxes' change handlers.
    firstHeight_->setText(QString::asprintf("%.0f", std::floor(minElevation_)));
    lastHeight_->setText(QString::asprintf("%.0f", std::ceil(maxElevation_)));
}

void CColorMapDlg::ApplyHeight(bool last, const QString& text) {
    const int count = map_.stopCount();
    if (count < (last ? 2 : 1)) return;
    std::vector<ColorStop> stops;
    for (int i = 0; i < count; ++i)
        stops.push_back(*map_.stop(i));
    stops[last ? count - 1 : 0].height = LeadingNumber(text);
    map_.setStops(stops.data(), static_cast<unsigned>(count));
    RedrawPreview();
}

void CColorMapDlg::ApplyStopColor(bool last, uint32_t color) {
    const int count = map_.stopCount();
    if (count < (last ? 2 : 1)) return;
    std::vector<ColorStop> stops;
    for (int i = 0; i < count; ++i)
        stops.push_back(*map_.stop(i));
    stops[last ? count - 1 : 0].color = color;
    map_.setStops(stops.data(), static_cast<unsigned>(count));
    RedrawPreview();
}

void CColorMapDlg::RedrawPreview() {
    preview_->update();
}

bool EditColorMap(QWidget* parent, HMeshProject& project) {
    std::unique_ptr<ZarHColorMap> copy = project.GetColorMap(0)->clone();
    CColorMapDlg dialog(parent, *copy, project.stepMode, project.stepHeight,
                        project.GetMinElevation(), project.GetMaxElevation());
    if (RunModal(dialog) != QDialog::Accepted) return false;
    const int stepMode = dialog.StepMode();
    const double stepHeight = dialog.StepHeight();
    project.SetColorMap(0, std::move(copy));
    project.stepMode = stepMode;
    project.stepHeight = stepHeight;
    return true;
}

}  // namespace kov
