#pragma once

// The chart saved as a PNG picture, a PDF document, or the scans in view as
// CSV, to a file the user chooses; what became of it is told by saved().

#include <QObject>
#include <QString>

class QWidget;

namespace scope {

class ScopeChart;

class ChartExport : public QObject {
    Q_OBJECT

public:
    enum class Kind { Png, Pdf, Csv };

    // window: the file dialogs' parent.
    ChartExport(ScopeChart& chart, QWidget& window);

    // Asks for a file and saves to it; nothing when none is chosen.
    void save(Kind kind);

signals:
    // "Saved PATH" or why not, for the status bar for timeoutMs.
    void saved(const QString& text, int timeoutMs);

private:
    ScopeChart& m_chart;
    QWidget& m_window;
};

} // namespace scope
