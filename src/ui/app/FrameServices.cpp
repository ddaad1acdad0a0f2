// SPDX-License-Identifier: MIT
// The frame services backed by the main window; without one every call does nothing.
#include <QMetaObject>
#include <QPointer>

#include "core/data/cache/TileCache.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/FrameServices.h"

namespace kov {

QString takeCacheWarning() {
    const std::shared_ptr<TileCache> cache = TileCache::active();
    const std::optional<CacheProblem> problem = cache ? cache->takeWarning() : std::nullopt;
    if (!problem) return {};
    return QStringLiteral("警告: ") + QString::fromStdString(cacheProblemText(*problem, true));
}

void setStatusText(int pane, const QString& text) {
    CMainFrame* frame = CMainFrame::instance();
    if (!frame || !frame->statusBarShown()) return;
    frame->SetPaneText(pane, text);
}

void postCommand(int id) {
    CMainFrame* frame = CMainFrame::instance();
    if (!frame) return;
    QPointer<CMainFrame> target(frame);
    QMetaObject::invokeMethod(
        frame,
        [target, id] {
            if (target) target->RouteCommand(id);
        },
        Qt::QueuedConnection);
}

int32_t ProgressReport(ProgressCode code, long long argument) {
    CMainFrame* frame = CMainFrame::instance();
    if (!frame) return 0;
    return frame->progressHost().report(code, argument, nullptr);
}

int32_t ProgressReport(ProgressCode code, const QString& text) {
    CMainFrame* frame = CMainFrame::instance();
    if (!frame) return 0;
    return frame->progressHost().report(code, 0, text.isEmpty() ? nullptr : &text);
}

int32_t ProgressPosition(long long current, long long total) {
    CMainFrame* frame = CMainFrame::instance();
    if (!frame) return 0;
    return frame->progressHost().position(static_cast<int32_t>(current),
                                          static_cast<int32_t>(total));
}

}  // namespace kov

namespace kov {

QString overBudgetMessage(const std::vector<std::string>& paths) {
    QString text = QStringLiteral("次のレイヤーはメモリの上限を超えるため読み込みませんでした:");
    for (const std::string& path : paths)
        text +=
            QLatin1Char('\n') + QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    return text;
}

}  // namespace kov
