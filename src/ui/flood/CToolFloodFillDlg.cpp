// SPDX-License-Identifier: MIT
#include "ui/flood/CToolFloodFillDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "core/base/NumberFormat.h"
#include "core/base/SettingsStore.h"
#include "core/flood/FloodEstimate.h"
#include "ui/app/CKovVApp.h"
#include "ui/widgets/CColorWell.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;

// Full-width digits of the rank labels ("ランク１").
QString fullWidthDigit(int d) {
    return QString(QChar(0xFF10 + d));
}

// An edit field for a number in metres, right-aligned like a calculator's display.
QLineEdit* numberEdit(QWidget* parent, int id) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setAlignment(Qt::AlignRight);
    auto* validator = new QDoubleValidator(edit);
    validator->setNotation(QDoubleValidator::StandardNotation);
    edit->setValidator(validator);
    edit->setMaximumWidth(90);
    return edit;
}

QString numberText(double v) {
    return QString::fromStdString(formatShort(v, 3));
}

// The finite number a text holds, if any ("nan", "inf" and overflowing digits hold none).
std::optional<double> finiteNumber(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

double numberOf(const QLineEdit* edit, double def) {
    return finiteNumber(edit->text()).value_or(def);
}

// A stored number that is not finite is taken as never stored.
double storedReal(const char* section, const char* key, double def) {
    const double v = settings::readReal(section, key, def);
    return std::isfinite(v) ? v : def;
}

// A stored rank text that is neither empty nor a finite number is taken as never stored.
std::string storedRankText(const char* section, const std::string& key, const std::string& def) {
    const std::string text = settings::readString(section, key, def);
    const QString q = QString::fromStdString(text).trimmed();
    return q.isEmpty() || finiteNumber(q) ? text : def;
}

}  // namespace

CToolFloodFillDlg::CToolFloodFillDlg(unsigned resource, bool lineAvailable, QWidget* parent)
    : QDialog(parent),
      depthMode(resource == kDepthResource),
      section(resource == kDepthResource ? "ToolFloodFillDlg2" : "ToolFloodFillDlg"),
      lineAvailable(lineAvailable) {
    setWindowTitle(depthMode ? QStringLiteral("簡易浸水想定地図作成（浸水高）")
                             : QStringLiteral("簡易浸水想定地図作成（地盤高）"));
    setProperty("helpId", depthMode ? kDepthResource : kGroundHeightResource);

    // The settings, read when the dialog is made.
    const char* s = section.c_str();
    fromStartPoint = settings::readInt(s, "FloodFill", 0) != 0;
    waterPasses = settings::readInt(s, "NoBorderW", 0) != 0;
    noDataPasses = settings::readInt(s, "NoBorderN", 0) != 0;
    rangeLimit = settings::readInt(s, "Range", 0) != 0;
    lineAsWall = settings::readInt(s, "SelArcBound", 0) != 0;
    height = storedReal(s, "Height", 5.0);
    range = storedReal(s, "RangeMax", 3000.0);
    for (int d = 1; d <= kRanks; ++d) {
        const std::string key = std::to_string(d);
        rankTexts[d - 1] = storedRankText(s, "H" + key, d == 1 ? "5.0" : "");
        rankColors[d - 1] = settings::readColor(s, "COL" + key, d == 1 ? kBlue : kWhite);
    }
    rankColors[kRanks] = kWhite;

    // The rank list: "ランクN ～ [edit] m [colour]" or, by depth, "ランクN [edit] m　～ [colour]".
    auto* group = new QGroupBox(QStringLiteral("ランキングリスト"), this);
    auto* grid = new QGridLayout(group);
    for (int r = 0; r < kRanks; ++r) {
        const QString name = QStringLiteral("ランク") + fullWidthDigit(r + 1);
        rankEdits_[r] = numberEdit(group, kIdRankEdit + r);
        rankEdits_[r]->setText(QString::fromStdString(rankTexts[r]));
        rankEdits_[r]->setProperty("label", name);
        colorWells_[r] = new CColorWell(group);
        colorWells_[r]->setObjectName(QString::number(kIdRankColor + r));
        colorWells_[r]->setColor(rankColors[r]);
        grid->addWidget(new QLabel(depthMode ? name : name + QStringLiteral("     ～"), group), r,
                        0);
        grid->addWidget(rankEdits_[r], r, 1);
        grid->addWidget(
            new QLabel(depthMode ? QStringLiteral("m　～") : QStringLiteral("m"), group), r, 2);
        grid->addWidget(colorWells_[r], r, 3);
    }
    auto* clear = new QPushButton(QStringLiteral("クリアー"), group);
    clear->setObjectName(QString::number(kIdClear));
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, &CToolFloodFillDlg::clearRanks);
    grid->addWidget(clear, kRanks, 3);

    // The water level, the start-point flood and its rules.
    auto* heightRow = new QHBoxLayout;
    heightEdit_ = numberEdit(this, kIdHeight);
    heightEdit_->setText(numberText(height));
    heightEdit_->setProperty("label", QStringLiteral("想定高さ"));
    heightRow->addWidget(new QLabel(QStringLiteral("想定高さ"), this));
    heightRow->addWidget(heightEdit_);
    heightRow->addWidget(new QLabel(QStringLiteral("m"), this));
    heightRow->addStretch();
    const auto box = [this](int id, const char* text, bool checked) {
        auto* b = new QCheckBox(QString::fromUtf8(text), this);
        b->setObjectName(QString::number(id));
        b->setChecked(checked);
        return b;
    };
    fromStart_ =
        box(kIdFromStart, "浸水開始地点を指示して、指定の高さまでを浸水想定する", fromStartPoint);
    waterPassesBox_ = box(kIdWaterPasses, "水部を境界としない", waterPasses);
    noDataPassesBox_ = box(kIdNoDataPasses, "無効領域を境界としない", noDataPasses);
    rangeBox_ = box(kIdRange, "浸水開始地点からの想定到達距離を限定する", rangeLimit);
    wallBox_ = box(kIdLineAsWall, "「図上計測の軌跡」を境界線とする", lineAsWall);
    rangeEdit_ = numberEdit(this, kIdRangeMax);
    rangeEdit_->setText(numberText(range));
    rangeEdit_->setProperty("label", QStringLiteral("想定到達距離"));
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addSpacing(20);
    rangeRow->addWidget(rangeEdit_);
    rangeRow->addWidget(new QLabel(QStringLiteral("m"), this));
    rangeRow->addStretch();
    connect(fromStart_, &QCheckBox::clicked, this, &CToolFloodFillDlg::applyEnabling);
    connect(rangeBox_, &QCheckBox::clicked, this, &CToolFloodFillDlg::applyEnabling);

    QDialogButtonBox* buttons = okCancelButtons(this);
    QPushButton* help = buttons->addButton(QStringLiteral("ヘルプ"), QDialogButtonBox::HelpRole);
    help->setObjectName(QString::number(kIdHelp));
    help->setAutoDefault(false);
    connect(help, &QPushButton::clicked, this, [this] {
        if (CKovVApp* app = CKovVApp::instance())
            app->WinHelp(kHelpIdResource + property("helpId").toUInt(), kHelpContext);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(heightRow);
    for (QWidget* w : {static_cast<QWidget*>(fromStart_), static_cast<QWidget*>(waterPassesBox_),
                       static_cast<QWidget*>(noDataPassesBox_), static_cast<QWidget*>(rangeBox_)})
        layout->addWidget(w);
    layout->addLayout(rangeRow);
    layout->addWidget(wallBox_);
    layout->addWidget(buttons);
    applyEnabling();
}

void CToolFloodFillDlg::clearRanks() {
    for (int r = 1; r < kRanks; ++r)
        rankEdits_[r]->clear();
}

void CToolFloodFillDlg::applyEnabling() {
    const bool start = fromStart_->isChecked();
    waterPassesBox_->setEnabled(start);
    noDataPassesBox_->setEnabled(start);
    rangeBox_->setEnabled(start);
    wallBox_->setEnabled(start && lineAvailable);
    rangeEdit_->setEnabled(start && rangeBox_->isChecked());
    // By depth the water level is needed for the whole area too.
    heightEdit_->setEnabled(start || depthMode);
}

FloodParameters CToolFloodFillDlg::parameters() const {
    FloodParameters p;
    p.height = height;
    p.depthMode = depthMode;
    p.waterPasses = waterPasses;
    p.noDataPasses = noDataPasses;
    p.rangeOn = rangeLimit;
    p.range = range;
    p.rankTexts.assign(rankTexts.begin(), rankTexts.end());
    p.rankColors.assign(rankColors.begin(), rankColors.begin() + kRanks);
    return p;
}

QLineEdit* CToolFloodFillDlg::firstBadNumber() const {
    // An empty rank ends the list; the water level and the distance must be numbers when used.
    for (QLineEdit* edit : rankEdits_)
        if (!edit->text().trimmed().isEmpty() && !finiteNumber(edit->text())) return edit;
    for (QLineEdit* edit : {heightEdit_, rangeEdit_})
        if (edit->isEnabled() && !finiteNumber(edit->text())) return edit;
    return nullptr;
}

void CToolFloodFillDlg::done(int result) {
    if (result == QDialog::Accepted) {
        if (QLineEdit* bad = firstBadNumber()) {
            ShowMessage(this, QMessageBox::Warning,
                        QStringLiteral("数値を正しく入力してください：%1")
                            .arg(bad->property("label").toString()));
            bad->setFocus();
            bad->selectAll();
            return;
        }
        fromStartPoint = fromStart_->isChecked();
        waterPasses = waterPassesBox_->isChecked();
        noDataPasses = noDataPassesBox_->isChecked();
        rangeLimit = rangeBox_->isChecked();
        lineAsWall = wallBox_->isChecked() && lineAvailable;
        height = numberOf(heightEdit_, height);
        range = numberOf(rangeEdit_, range);
        for (int r = 0; r < kRanks; ++r) {
            rankTexts[r] = rankEdits_[r]->text().trimmed().toStdString();
            rankColors[r] = colorWells_[r]->color();
        }
        const char* s = section.c_str();
        settings::writeInt(s, "FloodFill", fromStartPoint);
        settings::writeInt(s, "NoBorderW", waterPasses);
        settings::writeInt(s, "NoBorderN", noDataPasses);
        settings::writeInt(s, "Range", rangeLimit);
        settings::writeInt(s, "SelArcBound", wallBox_->isChecked());
        settings::writeReal(s, "Height", height);
        settings::writeReal(s, "RangeMax", range);
        for (int d = 1; d <= kRanks; ++d) {
            const std::string key = std::to_string(d);
            settings::writeString(s, "H" + key, rankTexts[d - 1]);
            settings::writeColor(s, "COL" + key, rankColors[d - 1]);
        }
    }
    QDialog::done(result);
}

}  // namespace kov
