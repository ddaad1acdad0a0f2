// SPDX-License-Identifier: MIT
#include "ui/widgets/CProgressWnd.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kov {
namespace {

constexpr int kRange = 1000;

}  // namespace

CProgressWnd::CProgressWnd(QWidget* parent, const QString& title, const QString& message)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(title);
    // Input goes to this window only while it is shown.
    setWindowModality(Qt::ApplicationModal);

    message_ = new QLabel(message, this);
    message_->setMinimumWidth(320);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, kRange);
    bar_->setValue(0);
    bar_->setTextVisible(true);
    cancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
    connect(cancel_, &QPushButton::clicked, this, [this] { SetCancelled(1); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
}

int CProgressWnd::Begin() {
    SetCancelled(0);
    adjustSize();
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->window()->frameGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    QCoreApplication::processEvents();
    return 1;
}

void CProgressWnd::End() {
    hide();
    QCoreApplication::processEvents();
}

int CProgressWnd::SetPos(long long current, long long total) {
    int value = 0;
    if (total > 0) {
        const double ratio = std::clamp(static_cast<double>(current) / total, 0.0, 1.0);
        value = static_cast<int>(ratio * kRange);
    }
    bar_->setValue(value);
    QCoreApplication::processEvents();
    return IsCancelled();
}

void CProgressWnd::SetText(const std::string& text) {
    message_->setText(QString::fromStdString(text));
}

QString CProgressWnd::Message() const {
    return message_->text();
}

int CProgressWnd::permille() const {
    return bar_->value();
}

void CProgressWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        SetCancelled(1);
        return;
    }
    QWidget::keyPressEvent(event);
}

void CProgressWnd::closeEvent(QCloseEvent* event) {
    // Closing the window asks the reader to stop; the owner hides it when the read ends.
    SetCancelled(1);
    event->ignore();
}

}  // namespace kov
