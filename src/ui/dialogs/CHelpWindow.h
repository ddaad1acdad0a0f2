// SPDX-License-Identifier: MIT
// The built-in help window: shows the program's HTML help pages with back, forward and contents
// buttons. Links to other pages of the help open in the window, web links in the browser.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace kov {

class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    // Shows a page (a file path, or ":/..." for a page built into the program) and brings the
    // window up; false, with nothing shown, when the page does not exist.
    bool showPage(const QString& path);
    // The page shown, as a URL ("qrc:/help/Index.htm", "file:///...").
    QString currentPage() const;
    QTextBrowser* browser() const { return browser_; }

private:
    // Before it is first shown: centred over its owner, as large as wanted where the screen has
    // room, and wholly on the owner's screen.
    void placeOnScreen();

    QTextBrowser* browser_;
    QString homePage_;
};

}  // namespace kov
