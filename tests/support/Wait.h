#pragma once

// Waiting on the event loop for a condition, never for a fixed time alone.

#include "link/SerialControl.h"

#include <QElapsedTimer>
#include <QTest>

namespace testwait {

inline constexpr int kSettleMs = 2000;

// Runs the event loop until the condition holds, at most timeoutMs; whether
// it held.
template <typename Condition>
[[nodiscard]] bool until(Condition condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// For what must not happen: runs the event loop for ms, checking the
// condition at every pass, and returns false the moment it fails.
template <typename Condition>
[[nodiscard]] bool holdsFor(Condition condition, int ms)
{
    QElapsedTimer clock;
    clock.start();
    do {
        if (!condition())
            return false;
        QTest::qWait(1);
    } while (clock.elapsed() < ms);
    return condition();
}

// Until every event a serial control has queued has been handled (it
// delivers them one per pass of the event loop).
[[nodiscard]] inline bool settled(const SerialControl& comm, int timeoutMs = kSettleMs)
{
    return until([&comm] { return !comm.eventsPending(); }, timeoutMs);
}

} // namespace testwait
