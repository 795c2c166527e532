#pragma once

// Waiting on the event loop without slowing it down. QTest's own waits sleep
// up to 10 ms between passes of the loop, which would stretch every sampling
// cycle at "Max Speed"; these poll every millisecond with a precise timer.

#include <QEventLoop>
#include <QTimer>

// Runs the event loop until the condition holds or the time is up; returns
// whether it was seen to hold. (Events already due when the loop is told to
// quit still run, so by the return it may hold no longer.)
template <typename Condition>
bool runUntil(Condition condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    bool held = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!held && condition()) {
            held = true;
            loop.quit();
        }
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return held || condition();
}

// Runs the event loop for the given time.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
