#include "scope/ChartExport.h"

#include "scope/ScopeChart.h"

#include <QFileDialog>

namespace scope {

namespace {

// How long the outcome stays in the status bar, ms.
constexpr int kSavedShownMs = 8000;

struct Target {
    const char* name;     // the file name offered
    const char* filter;   // the dialog's filter
};

Target target(ChartExport::Kind kind)
{
    switch (kind) {
    case ChartExport::Kind::Png:
        return {"chart.png", "PNG picture (*.png)"};
    case ChartExport::Kind::Pdf:
        return {"chart.pdf", "PDF document (*.pdf)"};
    case ChartExport::Kind::Csv:
        break;
    }
    return {"scans.csv", "CSV (*.csv)"};
}

} // namespace

ChartExport::ChartExport(ScopeChart& chart, QWidget& window)
    : QObject(&window)
    , m_chart(chart)
    , m_window(window)
{
}

void ChartExport::save(Kind kind)
{
    const Target t = target(kind);
    const QString path = QFileDialog::getSaveFileName(&m_window, QStringLiteral("Export"), QLatin1String(t.name),
                                                      QLatin1String(t.filter));
    if (path.isEmpty())
        return;
    QString why;
    switch (kind) {
    case Kind::Png:
        if (!m_chart.exportPng(path))
            why = QStringLiteral("cannot write %1").arg(path);
        break;
    case Kind::Pdf:
        if (!m_chart.exportPdf(path))
            why = QStringLiteral("cannot write %1").arg(path);
        break;
    case Kind::Csv:
        why = m_chart.exportCsv(path);
        break;
    }
    emit saved(why.isEmpty() ? QStringLiteral("Saved %1").arg(path) : why, kSavedShownMs);
}

} // namespace scope
