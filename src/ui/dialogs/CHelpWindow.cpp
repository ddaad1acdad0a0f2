// SPDX-License-Identifier: MIT
#include "ui/dialogs/CHelpWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace kov {

namespace {

QUrl pageUrl(const QString& path) {
    if (path.startsWith(QLatin1String(":/"))) return QUrl(QStringLiteral("qrc") + path);
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

}  // namespace

CHelpWindow::CHelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Kov View5 ヘルプ"));
    resize(760, 600);

    auto* tools = new QToolBar(this);
    QAction* back = tools->addAction(QStringLiteral("戻る"));
    QAction* forward = tools->addAction(QStringLiteral("進む"));
    QAction* home = tools->addAction(QStringLiteral("目次"));
    back->setEnabled(false);
    forward->setEnabled(false);

    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    browser_->setOpenLinks(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(browser_);

    connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(home, &QAction::triggered, this, [this] {
        if (!homePage_.isEmpty()) browser_->setSource(QUrl(homePage_));
    });
    connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl&) {
        const QString title = browser_->documentTitle();
        const QString help = QStringLiteral("Kov View5 ヘルプ");
        // A page titled after the help itself (the contents) is not named twice.
        setWindowTitle(
            title.isEmpty() || title.contains(help) ? help : title + QStringLiteral(" - ") + help);
    });
}

bool CHelpWindow::showPage(const QString& path) {
    if (!QFileInfo::exists(path)) return false;
    const QUrl url = pageUrl(path);
    // The contents page is the index of the folder the page came from.
    homePage_ = url.resolved(QUrl(QStringLiteral("Index.htm"))).toString();
    browser_->setSource(url);
    if (!isVisible()) placeOnScreen();
    show();
    raise();
    activateWindow();
    return true;
}

void CHelpWindow::placeOnScreen() {
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    // Room for a window manager's frame around the window.
    const QMargins frame(8, 32, 8, 8);
    const QRect usable = room.marginsRemoved(frame);
    resize(size().boundedTo(usable.size()));
    QRect wanted(QPoint(), size());
    wanted.moveCenter(owner ? owner->geometry().center() : usable.center());
    wanted.moveLeft(std::clamp(wanted.left(), usable.left(), usable.right() + 1 - wanted.width()));
    wanted.moveTop(std::clamp(wanted.top(), usable.top(), usable.bottom() + 1 - wanted.height()));
    move(wanted.topLeft());
}

QString CHelpWindow::currentPage() const {
    return browser_->source().toString();
}

}  // namespace kov
