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
        if (holdForBusy())
            return true;
        m_heldForBusy.invalidate();
        m_sinceRepaint.start();
        return false;
    }
    // Whole milliseconds, rounded down: the held values are shown within one
    // refresh of the last repaint, so within one refresh of changing.
    m_release.start(static_cast<int>(std::max<qint64>(1, (frame - since) / 1'000'000)));
    return true;
}

qint64 FramePacer::nsUntilTick(const QTimer& timer)
{
    return timer.isActive() ? static_cast<qint64>(timer.remainingTime()) * 1'000'000 : -1;
}

bool FramePacer::holdForBusy()
{
    if (!m_busySoon)
        return false;
    if (m_heldForBusy.isValid() && m_heldForBusy.nsecsElapsed() >= frameNs())
        return false;
    const qint64 left = m_busySoon();
    if (left < 0 || left > kYieldNs)
        return false;
    if (!m_heldForBusy.isValid())
        m_heldForBusy.start();
    // Released by a timer due after the other: timers fire in the order they
    // fall due, and the extra millisecond lets the tick's work go first.
    m_release.start(static_cast<int>(left / 1'000'000) + 1);
    return true;
}

void FramePacer::quietNow()
{
    if (!m_heldForBusy.isValid() || !m_release.isActive())
        return;
    m_release.stop();
    release();
}

void FramePacer::release()
{
    // Released by the refresh, a tick or a reply may now be about to come.
    if (holdForBusy())
        return;
    m_heldForBusy.invalidate();
    // While one is held, Qt posts no further request for the window; this one
    // paints all that changed meanwhile.
    m_releasing = true;
    m_sinceRepaint.start();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_releasing = false;
}
