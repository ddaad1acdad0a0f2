// Mouse, key and event-loop helpers of the window tests: events are sent as the window system
// delivers them, so they take the widget's own event path.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <optional>

namespace kov::test {

// A press and release of the button at the point (the widget's middle when none is given).
inline void click(QWidget* widget, std::optional<QPointF> at = std::nullopt,
                  Qt::MouseButton button = Qt::LeftButton) {
    const QPointF local = at ? *at : QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// A key press; what the widget ignores goes on to its parents, as a real key does.
inline void pressKey(QWidget* widget, int key, const QString& text = QString()) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &event);
}

// Types the text into the widget key by key.
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        pressKey(widget, 0, QString(c));
}

// Lets the event loop run until the condition holds or the time is up; answers the condition.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// Lets the event loop run for the time given.
inline void pumpFor(int milliseconds) {
    waitUntil([] { return false; }, milliseconds);
}

}  // namespace kov::test
