#include "scope/ChartPacer.h"

#include "scope/ScanStore.h"
#include "scope/ScopeChart.h"

#include <algorithm>

namespace scope {

namespace {

// The chart is drawn at most this often while scans come in.
constexpr int kPaintIntervalMs = 50;
// After a scan the acquisition sends its next request after the pause
// (1 ms at Max Speed); the chart is drawn just after that, while the reply
// is on its way.
constexpr int kPaintDelayMs = 3;
// The channels' figures are refreshed at most this often.
constexpr int kFiguresIntervalMs = 250;

} // namespace

ChartPacer::ChartPacer(ScopeChart& chart, const ScanStore& store, QObject* parent)
    : QObject(parent)
    , m_chart(chart)
    , m_store(store)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ChartPacer::paintNow);
    m_sincePaint.start();
    m_sinceFigures.start();
    connect(&m_chart, &ScopeChart::refreshed, this, [this] {
        if (m_sinceFigures.elapsed() >= kFiguresIntervalMs) {
            m_sinceFigures.restart();
            emit figuresDue();
        }
    });
}

void ChartPacer::schedule()
{
    if (m_timer.isActive())
        return;
    const qint64 since = m_sincePaint.elapsed();
    m_timer.start(static_cast<int>(std::max<qint64>(kPaintDelayMs, kPaintIntervalMs - since)));
}

void ChartPacer::paintNow()
{
    m_sincePaint.restart();
    if (m_chart.live() || m_store.size() == 0 || m_chart.viewToNs() >= m_store.elapsedNs(std::max(0LL, m_store.size() - 2)))
        m_chart.refresh();
}

} // namespace scope
