// SPDX-License-Identifier: MIT
#include "ui/dialogs/CAboutDlg.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/app/CKovVApp.h"

namespace kov {

CAboutDlg::CAboutDlg(QWidget* parent, const QString& site)
    : QDialog(parent), site_(site.isEmpty() ? QString::fromLatin1(CKovVApp::kWebSite) : site) {
    setObjectName(QString::number(kResourceId));
    setProperty("helpId", kResourceId);
    setWindowTitle(QStringLiteral("Kov View5 の情報"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/kovview.png")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* version = new QLabel(QStringLiteral("Kov View Version 2.0"), this);
    version->setObjectName(QStringLiteral("1001"));
    auto* product = new QLabel(QStringLiteral("ミラド 5mメッシュ（標高）ビューワ"), this);
    product->setObjectName(QStringLiteral("1002"));

    // A button that looks like a web link.
    link_ = new QPushButton(site_, this);
    link_->setObjectName(QStringLiteral("1003"));
    link_->setFlat(true);
    link_->setCursor(Qt::PointingHandCursor);
    link_->setAutoDefault(false);
    link_->setStyleSheet(
        QStringLiteral("QPushButton { color: #0645ad; text-decoration: underline; border: none; "
                       "text-align: left; padding: 0px; }"));
    connect(link_, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(QUrl(site_)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("1"));
    ok->setText(QStringLiteral("OK"));
    ok->setIcon(QIcon());
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(product);
    texts->addSpacing(6);
    texts->addWidget(link_, 0, Qt::AlignLeft);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kov
