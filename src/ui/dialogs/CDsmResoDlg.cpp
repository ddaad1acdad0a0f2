// SPDX-License-Identifier: MIT
#include "ui/dialogs/CDsmResoDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/base/SettingsStore.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

constexpr char kSection[] = "DsmResoDlg";
constexpr int kDefaultMode = 2;
constexpr int kDefaultCustom = 20;
constexpr double kMinCellSize = 0.1;

}  // namespace

CDsmResoDlg::CDsmResoDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("DSMデータ　変換解像度の設定"));
    setProperty("helpId", kResourceId);  // F1 and help mode open its page

    auto* text =
        new QLabel(QStringLiteral("DSMデータを指定の解像度相当の標高メッシュに変換します"), this);
    auto* group = new QGroupBox(QStringLiteral("解像度"), this);
    auto* grid = new QGridLayout(group);
    static const char* const kLabels[kModeCount] = {"1m", "2m", "5m", "10m", "50m", "指定"};
    for (int i = 0; i < kModeCount; ++i) {
        modes_[i] = new QRadioButton(QString::fromUtf8(kLabels[i]), group);
        modes_[i]->setObjectName(QString::number(kIdMode0 + i));
        // Two columns of three, the custom choice last with its field beside it.
        grid->addWidget(modes_[i], i % 3, i / 3 * 2);
    }
    custom_ = new QLineEdit(group);
    custom_->setObjectName(QString::number(kIdCustomValue));
    custom_->setValidator(new QIntValidator(0, 999999, custom_));
    custom_->setMaximumWidth(80);
    auto* customRow = new QHBoxLayout;
    customRow->addWidget(custom_);
    customRow->addWidget(new QLabel(QStringLiteral("m"), group));
    customRow->addStretch();
    grid->addLayout(customRow, 2, 3);
    grid->setColumnStretch(3, 1);

    QDialogButtonBox* buttons = okCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(group);
    layout->addWidget(buttons);

    int mode = settings::readInt(kSection, "Mode", kDefaultMode);
    if (mode < 0 || mode >= kModeCount) mode = kDefaultMode;
    modes_[mode]->setChecked(true);
    custom_->setText(
        QString::number(settings::readIntIn(kSection, "szEntValue", kDefaultCustom, 0, 999999)));
}

int CDsmResoDlg::mode() const {
    for (int i = 0; i < kModeCount; ++i)
        if (modes_[i]->isChecked()) return i;
    return kDefaultMode;
}

int CDsmResoDlg::customValue() const {
    return settings::decodeInt(custom_->text().toStdString(), 0);
}

double CDsmResoDlg::cellSizeOfMode(int mode, int customValue) {
    static constexpr double kSizes[kCustomMode] = {1.0, 2.0, 5.0, 10.0, 50.0};
    if (mode >= 0 && mode < kCustomMode) return kSizes[mode];
    return customValue;
}

std::optional<double> CDsmResoDlg::ask(QWidget* parent) {
    CDsmResoDlg dialog(parent);
    if (runModal(dialog) != QDialog::Accepted) return std::nullopt;
    const double size = dialog.cellSize();
    if (size < kMinCellSize) return std::nullopt;
    return size;
}

void CDsmResoDlg::done(int result) {
    if (result == QDialog::Accepted) {
        settings::writeInt(kSection, "Mode", mode());
        settings::writeInt(kSection, "szEntValue", customValue());
    }
    QDialog::done(result);
}

}  // namespace kov
