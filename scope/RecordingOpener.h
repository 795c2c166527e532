#pragma once

// ZOLT Scope's File menu: a recording opened in place of a source's scans,
// and how its first reading goes, on a progress bar and in the status bar.
// The chart spans the whole run as soon as its length is known, and is
// drawn as the rows come in.

#include <QObject>
#include <QString>

class QMainWindow;
class QProgressBar;
class QStatusBar;

namespace scope {

class ChartPacer;
class ScopeChart;
class ScopeSession;

class RecordingOpener : public QObject {
    Q_OBJECT

public:
    // Adds the File menu to window's menu bar and the progress bar to its
    // status bar.
    RecordingOpener(ScopeSession& session, ScopeChart& chart, ChartPacer& pacer, QMainWindow& window);

    // Empty when it opened, else why not (also shown in the status bar).
    QString open(const QString& path, bool follow = true);

signals:
    void opened();
    // The recording is read to its end and drawn.
    void read();

private:
    ScopeSession& m_session;
    ScopeChart& m_chart;
    ChartPacer& m_pacer;
    QStatusBar* m_statusBar = nullptr;
    QProgressBar* m_bar = nullptr;
};

} // namespace scope
