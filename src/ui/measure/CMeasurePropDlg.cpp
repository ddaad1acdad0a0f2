// SPDX-License-Identifier: MIT
#include "ui/measure/CMeasurePropDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/base/CommandIds.h"
#include "core/base/SettingsStore.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/measure/ToolWindow.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

constexpr char kSection[] = "TrackRange";

}  // namespace

CMeasurePropDlg::CMeasurePropDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kResourceId));
    setProperty("helpId", kResourceId);  // F1 and help mode open its page
    setWindowTitle(QStringLiteral("図上計測のプロパティ"));

    auto* group = new QGroupBox(QStringLiteral("表示"), this);
    window_ = new QRadioButton(QStringLiteral("専用ウィンドウ表示(&W)"), group);
    window_->setObjectName(QString::number(kIdWindow));
    tip_ = new QRadioButton(QStringLiteral("ツールチップ表示(&B)"), group);
    tip_->setObjectName(QString::number(kIdTip));
    auto* choices = new QVBoxLayout(group);
    choices->addWidget(window_);
    choices->addWidget(tip_);

    tick_ = new QCheckBox(QStringLiteral("スケールティックを表示(&T)"), this);
    tick_->setObjectName(QString::number(kIdTick));

    QDialogButtonBox* buttons = okCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(group);
    layout->addWidget(tick_);
    layout->addWidget(buttons);
    makeToolWindow(*this);

    (settings::readInt(kSection, "Window", 1) != 0 ? window_ : tip_)->setChecked(true);
    tick_->setChecked(settings::readInt(kSection, "Tick", 1) != 0);
}

void CMeasurePropDlg::done(int result) {
    if (result == QDialog::Accepted) {
        settings::writeInt(kSection, "Tick", tick_->isChecked() ? 1 : 0);
        settings::writeInt(kSection, "Window", window_->isChecked() ? 1 : 0);
    }
    QDialog::done(result);
}

void registerMeasureDialogs() {
    CKovVDoc::setCommandHandler(kCmdMeasureProperties, [](CKovVDoc&, int) {
        QWidget* parent = CMainFrame::instance();
        CMeasurePropDlg dialog(parent ? parent : QApplication::activeWindow());
        runModal(dialog);
    });
}

}  // namespace kov
