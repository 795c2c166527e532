// A day-long recording opened in ZOLT Scope; prints tables, no pass or fail.
//   1. Parsing alone: the rows of a 24 h CSV (3.3 million rows of channels 0
//      to 6 and the digital lines, about 300 MB) read from memory, MB/s.
//   2. Opening it in the window: time to the first chart drawn with the whole
//      day's time axis, time to the whole file read, the longest the event
//      loop went without a turn meanwhile, and memory a scan.
//   3. One repaint of a 1920x1080 chart showing the whole day.
// The file is made by the bench (in a temporary folder) with zoltctl's rows.
// --quick: fewer rounds; --rows N: another length; --repaint-only: 3 alone;
// --keep FILE: make the file there and leave it; --file FILE: use one made so.

#include <QByteArray>

#include "bench/BenchFigures.h"
#include "bench/ChartRepaint.h"
#include "front/RowFormat.h"
#include "front/RowParser.h"
#include "scope/ScopeChart.h"
#include "scope/ScopeWindow.h"
#include "tests/scope/DayRecording.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>


namespace {

using benchfigures::loadAverage;
using benchfigures::residentKiB;
using benchfigures::Spread;
using benchfigures::spreadOf;
using benchfigures::threadCpuMs;

void parseFigures(const QString& path, bool quick)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray all = f.readAll();
    std::printf("== Parsing alone, %.1f MB from memory in 1 MB pieces (load average %s)\n", static_cast<double>(all.size()) / 1e6,
                loadAverage().constData());
    std::vector<double> rates;
    std::vector<acquisition::Scan> scans;
    for (int k = 0; k < (quick ? 2 : 5); ++k) {
        front::RowParser parser;
        long long rows = 0;
        const double cpu = threadCpuMs();
        for (qsizetype at = 0; at < all.size(); at += 1 << 20) {
            scans.clear();
            parser.feed(std::string_view(all.constData() + at, static_cast<std::size_t>(std::min<qsizetype>(1 << 20, all.size() - at))), scans);
            rows += static_cast<long long>(scans.size());
        }
        const double ms = threadCpuMs() - cpu;
        rates.push_back(static_cast<double>(all.size()) / 1e6 / (ms / 1e3));
        std::printf("round %d: %lld rows, %lld problems, %.0f ms processor: %.0f MB/s\n", k + 1, rows, parser.problemCount(), ms,
                    rates.back());
    }
    const Spread r = spreadOf(rates);
    std::printf("MB/s min / median / max: %.0f / %.0f / %.0f\n", r.min, r.median, r.max);
}

void openFigures(const QString& path)
{
    std::printf("\n== Opened in the window (1920x1080), load average %s\n", loadAverage().constData());
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("bench.conf")), QSettings::IniFormat);
    scope::ScopeWindow window(settings);
    window.resize(1920, 1080);
    window.show();
    QCoreApplication::processEvents();
    const long before = residentKiB();

    // The event loop's longest turn: a timer every ms notes the gaps.
    QElapsedTimer clock;
    qint64 lastTurn = 0;
    qint64 longestTurn = 0;
    QTimer turns;
    turns.setInterval(1);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestTurn = std::max(longestTurn, now - lastTurn);
        lastTurn = now;
    });
    double firstOverviewMs = -1;
    long long firstOverviewScans = 0;
    QObject::connect(&window.chart(), &scope::ScopeChart::afterReplot, [&] {
        if (firstOverviewMs < 0 && window.store().size() > 0 && window.chart().viewToNs() >= window.recording().lastRowNs() &&
            window.recording().lastRowNs() > 0) {
            firstOverviewMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            firstOverviewScans = window.store().size();
        }
    });
    bool done = false;
    double doneMs = 0;
    QObject::connect(&window.recording(), &scope::RecordingLoader::reachedEnd, [&] {
        doneMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        done = true;
    });
    clock.start();
    turns.start();
    const QString why = window.openRecording(path, false);
    if (!why.isEmpty()) {
        std::printf("cannot open: %s\n", qPrintable(why));
        return;
    }
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    turns.stop();
    QCoreApplication::processEvents();
    const long after = residentKiB();
    const auto size = QFile(path).size();
    std::printf("whole file read in %.0f ms (%.0f MB/s), %lld scans kept\n", doneMs, static_cast<double>(size) / 1e6 / (doneMs / 1e3),
                window.store().size());
    std::printf("first chart drawn with the whole run's time axis after %.0f ms (%lld scans in it then)\n", firstOverviewMs,
                firstOverviewScans);
    std::printf("longest event-loop turn while reading: %.1f ms\n", static_cast<double>(longestTurn) / 1e6);
    std::printf("resident memory grew by %.1f MB: %.1f bytes a scan (the store's blocks %.1f bytes a scan)\n",
                static_cast<double>(after - before) / 1024.0,
                static_cast<double>(after - before) * 1024.0 / static_cast<double>(std::max(1LL, window.store().size())),
                static_cast<double>(sizeof(scope::ScanStore::Block)) / scope::ScanStore::kBlockScans);
}

void repaintFigures(const QString& path, bool quick)
{
    scope::ScanStore store;
    {
        scope::RecordingLoader loader(store);
        loader.open(path, false);
        while (!loader.atEnd() || loader.active())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::printf("\n== One repaint of the whole day (%lld scans, 7 channels and 3 lines; load average %s)\n", store.size(),
                loadAverage().constData());
    for (const QSize size : {QSize(1900, 1000), QSize(1920, 1080)}) {
        scope::ScopeChart chart(store);
        chart.resize(size);
        chart.show();
        chart.showStretch(0, store.elapsedNs(store.size() - 1));
        QCoreApplication::processEvents();
        benchfigures::printRepaints(size, benchfigures::measureRepaints(chart, store, quick ? 20 : 100));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    benchfigures::ScopeBenchApp app(argc, argv);
    const bool quick = app.quick();
    const long long rows = app.number(QStringLiteral("--rows"), 3'300'000);
    QTemporaryDir dir;
    // A file made before (with --keep) saves making it again: half a minute.
    QString path = app.value(QStringLiteral("--file"));
    if (path.isEmpty()) {
        path = app.has(QStringLiteral("--keep")) ? app.value(QStringLiteral("--keep")) : dir.filePath(QStringLiteral("day.csv"));
        QElapsedTimer t;
        t.start();
        const qint64 bytes = scopetest::writeDay(path, rows);
        std::printf("made %s: %lld rows, %.1f MB, in %.1f s\n\n", qPrintable(path), rows, static_cast<double>(bytes) / 1e6,
                    static_cast<double>(t.elapsed()) / 1e3);
    }
    if (!app.has(QStringLiteral("--repaint-only"))) {
        parseFigures(path, quick);
        openFigures(path);
    }
    repaintFigures(path, quick);
    return 0;
}
