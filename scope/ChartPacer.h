#pragma once

// When ZOLT Scope's chart is drawn while scans come in: at most every 50 ms,
// and just after the acquisition has sent its next request, so that drawing
// never holds one up. A held view is drawn only when it reaches the end of
// the run. The channels' figures follow the drawings at most four times a
// second (figuresDue()).

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace scope {

class ScanStore;
class ScopeChart;

class ChartPacer : public QObject {
    Q_OBJECT

public:
    ChartPacer(ScopeChart& chart, const ScanStore& store, QObject* parent = nullptr);

    // A drawing soon, after the quiet that follows a scan.
    void schedule();
    // A drawing now.
    void paintNow();
    // Since the last drawing, ms.
    qint64 sincePaintMs() const { return m_sincePaint.elapsed(); }

signals:
    void figuresDue();

private:
    ScopeChart& m_chart;
    const ScanStore& m_store;
    QTimer m_timer;   // a drawing in the quiet after a scan
    QElapsedTimer m_sincePaint;
    QElapsedTimer m_sinceFigures;
};

} // namespace scope
