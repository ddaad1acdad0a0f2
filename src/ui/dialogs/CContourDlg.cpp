// SPDX-License-Identifier: MIT
#include "ui/dialogs/CContourDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

// The interval written without trailing zeros.
QString metres(double value) {
    return QLocale::c().toString(value, 'g', 10);
}

}  // namespace

CContourDlg::CContourDlg(QWidget* parent, const ContourDisplay& display, double autoInterval)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("等高線の設定"));
    setProperty("helpId", kResourceId);  // F1 and help mode open its page

    show_ = new QCheckBox(QStringLiteral("等高線を表示する(&S)"), this);
    show_->setObjectName(QString::number(kIdShow));

    auto* group = new QGroupBox(QStringLiteral("間隔"), this);
    auto_ = new QRadioButton(
        QStringLiteral("自動(&A)：縮尺に合わせる（現在 %1 m）").arg(metres(autoInterval)), group);
    auto_->setObjectName(QString::number(kIdAuto));
    fixed_ = new QRadioButton(QStringLiteral("指定(&V)"), group);
    fixed_->setObjectName(QString::number(kIdFixed));
    interval_ = new QLineEdit(group);
    interval_->setObjectName(QString::number(kIdInterval));
    auto* validator = new QDoubleValidator(kMinContourInterval, 100000.0, 2, interval_);
    validator->setLocale(QLocale::c());
    interval_->setValidator(validator);
    interval_->setMaximumWidth(80);
    auto* grid = new QGridLayout(group);
    grid->addWidget(auto_, 0, 0, 1, 3);
    grid->addWidget(fixed_, 1, 0);
    grid->addWidget(interval_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("m"), group), 1, 2);
    grid->setColumnStretch(2, 1);

    indexLines_ = new QCheckBox(QStringLiteral("5本ごとに計曲線（太線と標高値）(&I)"), this);
    indexLines_->setObjectName(QString::number(kIdIndexLines));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(show_);
    layout->addWidget(group);
    layout->addWidget(indexLines_);
    layout->addWidget(okCancelButtons(this));

    show_->setChecked(display.show);
    (display.interval > 0.0 ? fixed_ : auto_)->setChecked(true);
    interval_->setText(metres(display.interval > 0.0 ? display.interval : autoInterval));
    interval_->setEnabled(fixed_->isChecked());
    connect(fixed_, &QRadioButton::toggled, interval_, &QLineEdit::setEnabled);
    indexLines_->setChecked(display.indexLines);
}

ContourDisplay CContourDlg::display() const {
    ContourDisplay display;
    display.show = show_->isChecked();
    display.indexLines = indexLines_->isChecked();
    if (fixed_->isChecked()) {
        bool ok = false;
        const double value = QLocale::c().toDouble(interval_->text().trimmed(), &ok);
        display.interval = ok ? std::max(value, kMinContourInterval) : kMinContourInterval;
    }
    return display;
}

std::optional<ContourDisplay> CContourDlg::ask(QWidget* parent, const ContourDisplay& display,
                                               double autoInterval) {
    CContourDlg dialog(parent, display, autoInterval);
    if (runModal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.display();
}

void CContourDlg::done(int result) {
    if (result == QDialog::Accepted) writeContourDisplay(display());
    QDialog::done(result);
}

}  // namespace kov
