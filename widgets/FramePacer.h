#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

// Holds a window's repaints to at most one per refresh of its screen. Widgets
// take their new texts and colours at once; only the painting of them waits,
// so a window whose readings change a thousand times a second is painted as
// often as the screen can show it, and never shows a value older than one
// refresh. Qt asks a window to repaint with one UpdateRequest event for all
// that changed since its last repaint; the pacer lets one through per refresh
// and hands a held one back at the next refresh.
class FramePacer : public QObject {
    Q_OBJECT

public:
    // Paces the given top-level window from now on; lives as its child.
    explicit FramePacer(QWidget* window);

    // The refresh interval in nanoseconds, from the window's screen unless
    // one was fixed.
    qint64 frameNs() const;
    void setFrameNs(qint64 ns) { m_fixedFrameNs = ns; }
    bool holding() const { return m_release.isActive(); }

    // What must not wait behind a repaint: the sampling pause, whose tick
    // sends the next command, and an awaited reply, whose arrival leads to
    // it. busySoon tells in how many ns the event loop is next needed by
    // them, negative when nothing is due. A repaint that falls due (or is
    // released) while that is at most kYieldNs away is held until just after
    // it, so the window is painted while the module answers; but no repaint
    // is held for this longer than one refresh.
    static constexpr qint64 kYieldNs = 2'000'000;
    void yieldTo(std::function<qint64()> busySoon) { m_busySoon = std::move(busySoon); }
    // A timer's next tick as busySoon takes it: ns, or -1 when it is stopped.
    static qint64 nsUntilTick(const QTimer& timer);
    // What busySoon waited for has happened (the next command is out): a
    // repaint held for it goes now, in the same pass of the event loop,
    // rather than on a wake-up of its own.
    void quietNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void release();
    // Whether a repaint due now is held for what busySoon says is coming;
    // if so, the release is armed for just after it.
    bool holdForBusy();

    QWidget* m_window;
    QElapsedTimer m_sinceRepaint;
    QTimer m_release;
    bool m_releasing = false;
    qint64 m_fixedFrameNs = 0;
    std::function<qint64()> m_busySoon;
    QElapsedTimer m_heldForBusy;   // since a due repaint was first held for busySoon
};
