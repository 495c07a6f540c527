#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>

namespace kestrel::media::test {

// Runs the Qt event loop until `condition` holds or `deadline` passes,
// looking again every few milliseconds.
template <typename Condition> bool WaitForQt(Condition condition, std::chrono::milliseconds deadline)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() >= deadline.count())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace kestrel::media::test
