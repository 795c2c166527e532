#pragma once

// ZOLT Scope's toolbar and shortcuts: start and stop sampling, record, hold
// the view or go back to the live one, zoom, box zoom, the exports, the
// channel setup, and Quit. Sampling and the view are acted on here; what
// other parts do is asked for by a signal.

#include "scope/ChartExport.h"

#include <QObject>

class QAction;
class QMainWindow;

namespace scope {

class ScopeChart;
class ScopeSession;

class ScopeActions : public QObject {
    Q_OBJECT

public:
    // Adds the toolbar to window, and Quit to its shortcuts.
    ScopeActions(ScopeSession& session, ScopeChart& chart, QMainWindow& window);

    // The checked states and texts from the session and the chart.
    void follow(const ScopeSession& session);

signals:
    void recordingWanted(bool on);
    void exportWanted(ChartExport::Kind kind);
    void setupWanted();
    // The view was held or let go.
    void viewChanged();

private:
    ScopeChart& m_chart;
    QAction* m_start = nullptr;
    QAction* m_record = nullptr;
    QAction* m_hold = nullptr;
    QAction* m_live = nullptr;
};

} // namespace scope
