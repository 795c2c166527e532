#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

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

    // A timer whose tick must not wait behind a repaint: the sampling pause,
    // whose tick sends the next command. A repaint that falls due while the
    // timer has at most kYieldMs left is held until just after the tick, so
    // the window is painted while the module answers instead of before it is
    // asked.
    static constexpr int kYieldMs = 2;
    void yieldTo(const QTimer* timer) { m_yieldTo = timer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void release();

    QWidget* m_window;
    QElapsedTimer m_sinceRepaint;
    QTimer m_release;
    bool m_releasing = false;
    qint64 m_fixedFrameNs = 0;
    const QTimer* m_yieldTo = nullptr;
};
