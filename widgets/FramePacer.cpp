#include "widgets/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

// What a screen that reports no sensible rate is taken to refresh at, and
// the range believed, in hertz.
constexpr double kDefaultRefreshHz = 60.0;
constexpr double kMinRefreshHz = 24.0;
constexpr double kMaxRefreshHz = 240.0;

} // namespace

FramePacer::FramePacer(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    m_release.setSingleShot(true);
    m_release.setTimerType(Qt::PreciseTimer);
    connect(&m_release, &QTimer::timeout, this, &FramePacer::release);
    window->installEventFilter(this);
}

qint64 FramePacer::frameNs() const
{
    if (m_fixedFrameNs > 0)
        return m_fixedFrameNs;
    double hz = kDefaultRefreshHz;
    if (const QScreen* screen = m_window->screen(); screen && screen->refreshRate() >= kMinRefreshHz)
        hz = std::min(screen->refreshRate(), kMaxRefreshHz);
    return static_cast<qint64>(1e9 / hz);
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_releasing)
        return false;
    if (m_release.isActive())
        return true;   // already held: the release repaints everything due
    const qint64 frame = frameNs();
    const qint64 since = m_sinceRepaint.isValid() ? m_sinceRepaint.nsecsElapsed() : frame;
    if (since >= frame) {
        const int left = m_yieldTo && m_yieldTo->isActive() ? m_yieldTo->remainingTime() : -1;
        if (left >= 0 && left <= kYieldMs) {
            // Released by a timer due after the tick: timers fire in the order they fall due.
            m_release.start(left + 1);
            return true;
        }
        m_sinceRepaint.start();
        return false;
    }
    // Whole milliseconds, rounded down: the held values are shown within one
    // refresh of the last repaint, so within one refresh of changing.
    m_release.start(static_cast<int>(std::max<qint64>(1, (frame - since) / 1'000'000)));
    return true;
}

void FramePacer::release()
{
    // While one is held, Qt posts no further request for the window; this one
    // paints all that changed meanwhile.
    m_releasing = true;
    m_sinceRepaint.start();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_releasing = false;
}
