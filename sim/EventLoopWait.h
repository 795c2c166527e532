#pragma once

// Waiting on the event loop without slowing it down. QTest's own waits sleep
// up to 10 ms between passes of the loop, which would stretch every sampling
// cycle at "Max Speed"; these poll every millisecond with a precise timer.

#include <QEventLoop>
#include <QTimer>

// Runs the event loop until the condition holds or the time is up; returns
// whether it holds.
template <typename Condition>
bool runUntil(Condition condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

// Runs the event loop for the given time.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
