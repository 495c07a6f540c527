#pragma once

// Helpers of the control panel's tests: waiting on events with a deadline,
// and pointer input through the window system, so that Qt routes it (grabs,
// enter and leave, double clicks) as it routes a real mouse.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace kestrel::ui::test {

// Runs the event loop until `done()` holds or `timeoutMs` has passed.
template <class Predicate>
bool WaitUntil(Predicate done, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(deadline.remainingTime()), &loop, [] {}); // wakes the wait at the deadline
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Shows `window` and waits until it is the active window, so that focus
// changes take effect.
inline bool ShowActive(QWidget &window)
{
    window.show();
    window.activateWindow();
    return WaitUntil([&] { return window.isActiveWindow() && window.windowHandle() && window.windowHandle()->isExposed(); });
}

// A point of `widget` in its window's coordinates.
inline QPoint InWindow(const QWidget *widget, QPoint local)
{
    return widget->mapTo(widget->window(), local);
}

inline QWindow *WindowOf(const QWidget *widget)
{
    return widget->window()->windowHandle();
}

inline void MoveTo(const QWidget *widget, QPoint local)
{
    QTest::mouseMove(WindowOf(widget), InWindow(widget, local));
}

inline void PressAt(const QWidget *widget, QPoint local, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(WindowOf(widget), button, {}, InWindow(widget, local));
}

inline void ReleaseAt(const QWidget *widget, QPoint local, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseRelease(WindowOf(widget), button, {}, InWindow(widget, local));
}

inline void DoubleClickAt(const QWidget *widget, QPoint local)
{
    QTest::mouseDClick(WindowOf(widget), Qt::LeftButton, {}, InWindow(widget, local));
}

} // namespace kestrel::ui::test
