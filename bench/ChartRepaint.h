#pragma once

// What ZOLT Scope's benchmarks share: the application with its switches, and
// one repaint of the chart measured alike, taking turns in the same rounds:
// a refresh that reduces afresh (a zoom or new scans in view), one that draws
// the kept reduction (nothing in view moved), the reduction alone, the
// replot alone, and the frame with every trace hidden. Processor time of the
// measuring thread, ms.

#include "bench/BenchFigures.h"
#include "bench/OffscreenWithoutDisplay.h"
#include "scope/ScopeChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <vector>

namespace benchfigures {

class ScopeBenchApp {
public:
    ScopeBenchApp(int& argc, char** argv)
        : m_app(offscreenFirst(argc), argv)
        , m_args(QCoreApplication::arguments())
    {
    }
    bool has(const QString& option) const { return m_args.contains(option); }
    bool quick() const { return has(QStringLiteral("--quick")); }
    // The word after option; empty without it.
    QString value(const QString& option) const
    {
        const qsizetype at = m_args.indexOf(option);
        return at > 0 ? m_args.value(at + 1) : QString();
    }
    // The number after option, or otherwise.
    long long number(const QString& option, long long otherwise) const
    {
        return has(option) ? value(option).toLongLong() : otherwise;
    }

private:
    static int& offscreenFirst(int& argc)
    {
        offscreenWithoutDisplay();
        return argc;
    }
    QApplication m_app;
    QStringList m_args;
};

struct RepaintFigures {
    Spread reducing;       // refresh(true) reducing afresh
    Spread reducingWall;
    Spread kept;           // refresh(true) drawing the kept reduction
    Spread keptWall;
    Spread reduce;         // the reduction alone
    Spread replot;         // the replot alone
    Spread frame;          // the replot with every trace hidden
    int columns = 0;
    std::size_t points = 0;   // points of the first trace
};

inline RepaintFigures measureRepaints(scope::ScopeChart& chart, const scope::ScanStore& store, int rounds)
{
    std::vector<double> reducing, reducingWall, kept, keptWall, reduceOnly, replotOnly, frame;
    scope::Reduction r;
    std::array<bool, scope::kSeries> every{};
    every.fill(true);
    const auto timed = [](std::vector<double>& cpu, std::vector<double>* wall, auto&& what) {
        QElapsedTimer t;
        t.start();
        const double before = threadCpuMs();
        what();
        cpu.push_back(threadCpuMs() - before);
        if (wall)
            wall->push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    };
    for (int k = 0; k < rounds; ++k) {
        chart.setReductionKept(false);
        timed(reducing, &reducingWall, [&] { chart.refresh(true); });
        chart.setReductionKept(true);
        // The reduction alone reads the day's figures: what follows finds
        // the caches as a repaint after other work would, not warm.
        timed(reduceOnly, nullptr,
              [&] { scope::reduce(store, chart.viewFromNs(), chart.viewToNs(), chart.axisRect()->width(), 0, every, r); });
        timed(kept, &keptWall, [&] { chart.refresh(true); });
        timed(replotOnly, nullptr, [&] { chart.replot(QCustomPlot::rpImmediateRefresh); });
    }
    for (int s = 0; s < scope::kSeries; ++s)
        chart.setSeriesVisible(s, false);
    for (int k = 0; k < rounds; ++k)
        timed(frame, nullptr, [&] { chart.replot(QCustomPlot::rpImmediateRefresh); });
    for (int s = 0; s < scope::kSeries; ++s)
        chart.setSeriesVisible(s, true);
    chart.refresh(true);
    return {spreadOf(reducing),  spreadOf(reducingWall), spreadOf(kept),  spreadOf(keptWall),
            spreadOf(reduceOnly), spreadOf(replotOnly),  spreadOf(frame), chart.axisRect()->width(),
            chart.reduction().points[0].size()};
}

inline void printRepaints(const QSize& size, const RepaintFigures& f)
{
    std::printf("chart %4dx%-4d (%4d columns, %zu points a trace), ms min / median / max over %d rounds:\n"
                "   repaint, reducing afresh   processor %6.2f / %6.2f / %6.2f   wall %6.2f / %6.2f / %6.2f\n"
                "   repaint, reduction kept    processor %6.2f / %6.2f / %6.2f   wall %6.2f / %6.2f / %6.2f\n"
                "   reduce alone               processor %6.2f / %6.2f / %6.2f\n"
                "   replot alone               processor %6.2f / %6.2f / %6.2f\n"
                "   frame (traces hidden)      processor %6.2f / %6.2f / %6.2f\n",
                size.width(), size.height(), f.columns, f.points, f.reducing.count, f.reducing.min, f.reducing.median,
                f.reducing.max, f.reducingWall.min, f.reducingWall.median, f.reducingWall.max, f.kept.min, f.kept.median,
                f.kept.max, f.keptWall.min, f.keptWall.median, f.keptWall.max, f.reduce.min, f.reduce.median, f.reduce.max,
                f.replot.min, f.replot.median, f.replot.max, f.frame.min, f.frame.median, f.frame.max);
    std::fflush(stdout);
}

} // namespace benchfigures
