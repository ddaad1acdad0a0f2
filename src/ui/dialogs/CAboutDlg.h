// SPDX-License-Identifier: MIT
// The About box: program name, version, product line and a link to the maker's web site.
#pragma once

#include <QDialog>

class QPushButton;

namespace kov {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // The dialog's resource id (its help page is D00100.htm).
    static constexpr int kResourceId = 100;

    // site: the address the link button opens.
    explicit CAboutDlg(QWidget* parent = nullptr, const QString& site = QString());

    QPushButton* linkButton() const { return link_; }
    QString site() const { return site_; }

private:
    QPushButton* link_;
    QString site_;
};

}  // namespace kov
