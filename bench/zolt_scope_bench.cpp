// ZOLT Scope's figures; prints tables, no pass or fail.
//   1. One repaint of the chart (reduction and drawing) with an hour of scans
//      at Max Speed: 150,000 scans of 7 channels and the digital lines.
//   2. Memory a kept scan costs, and the scans a day at Max Speed against the
//      store's bound.
//   3. Scans a second of zoltscope's window (chart drawn live) against
//      zoltctl's, taking turns on the same simulated module behind a
//      pseudo-terminal (zolt-ptymodule, wire-timed at 9600 baud).
// --quick runs shorter; --repaint-only skips the pseudo-terminal runs.

#include <QByteArray>

#include "bench/BenchFigures.h"
#include "bench/ChartRepaint.h"
#include "link/BaudOptions.h"
#include "front/RowFormat.h"
#include "link/Acquisition.h"
#include "scope/ScanStore.h"
#include "scope/ScopeChart.h"
#include "scope/ScopeWindow.h"
#include "sim/EventLoopWait.h"
#include "tests/scope/RandomScans.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <time.h>

namespace {

using benchfigures::loadAverage;
using benchfigures::Spread;
using benchfigures::spreadOf;

using benchfigures::residentKiB;
using benchfigures::threadCpuMs;

// A scan every 24 ms: an hour is 150,000 scans. The signals move slowly with
// noise and now and then a one-scan spike, as a real input might.
void fillHour(scope::ScanStore& store, long long scans)
{
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 20);
    for (long long i = 0; i < scans; ++i) {
        acquisition::Scan s = scopetest::randomScan(i + 1, i * 24'000'000LL, rng, 6, true);
        for (int ch = 0; ch < acquisition::kChannels; ++ch) {
            double mv = 2500 + 2000 * std::sin(static_cast<double>(i) * 1e-4 * (ch + 1)) + noise(rng);
            if (rng() % 5000 == 0)
                mv = 4990;
            s.millivolts[ch] = std::clamp(static_cast<int>(mv), 0, 5000);
            s.counts[ch] = static_cast<int>(s.millivolts[ch] / protocol::kMillivoltsPerCount);
        }
        for (int l = 0; l < acquisition::kDigitalLines; ++l)
            s.lines[l] = static_cast<int>((i / (200 * (l + 1))) % 2);
        store.append(s);
    }
}

void repaintFigures(bool quick)
{
    std::printf("== One repaint with an hour of scans (150,000 scans, 7 channels and 3 lines; load average %s)\n",
                loadAverage().constData());
    scope::ScanStore store;
    fillHour(store, 150'000);
    // The chart's size in the program's window as it first opens.
    QSize windowChart;
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("bench.conf")), QSettings::IniFormat);
        scope::ScopeWindow window(settings);
        window.resize(scope::ScopeWindow::kDefaultSize);
        window.show();
        QCoreApplication::processEvents();
        windowChart = window.chart().size();
        std::printf("(the chart is %dx%d in the window at its first size, %dx%d)\n", windowChart.width(), windowChart.height(),
                    scope::ScopeWindow::kDefaultSize.width(), scope::ScopeWindow::kDefaultSize.height());
    }
    for (const QSize size : {QSize(720, 600), windowChart, QSize(1200, 800), QSize(1900, 1000)}) {
        scope::ScopeChart chart(store);
        chart.resize(size);
        chart.setWindowSeconds(3600);
        chart.show();
        QCoreApplication::processEvents();
        benchfigures::printRepaints(size, benchfigures::measureRepaints(chart, store, quick ? 20 : 100));
    }
    // What the frame alone costs: axes, grid, tick labels and legend, no scans.
    {
        scope::ScanStore none;
        scope::ScopeChart chart(none);
        chart.resize(1200, 800);
        chart.show();
        chart.refresh(true);
        std::vector<double> times;
        for (int k = 0; k < (quick ? 10 : 50); ++k) {
            const double cpu = threadCpuMs();
            chart.replot(QCustomPlot::rpImmediateRefresh);
            times.push_back(threadCpuMs() - cpu);
        }
        const Spread a = spreadOf(times);
        std::printf("the chart with no scans (1200x800): replot, processor %.2f / %.2f / %.2f ms\n", a.min, a.median, a.max);
    }
    // The whole hour without reduction, for comparison: QCustomPlot's own adaptive sampling.
    {
        scope::ScopeChart chart(store);
        chart.resize(1200, 800);
        chart.setWindowSeconds(3600);
        chart.show();
        chart.refresh(true);
        QVector<QCPGraphData> raw(static_cast<qsizetype>(store.size()));
        for (int s = 0; s < scope::kAnalogSeries; ++s) {
            for (long long i = 0; i < store.size(); ++i)
                raw[static_cast<qsizetype>(i)] = QCPGraphData(store.seconds(i), store.millivolts(i, s));
            chart.graph(s)->data()->set(raw, true);
            chart.graph(s)->setAdaptiveSampling(true);
        }
        std::vector<double> times;
        for (int k = 0; k < (quick ? 5 : 20); ++k) {
            const double cpu = threadCpuMs();
            chart.replot(QCustomPlot::rpImmediateRefresh);
            times.push_back(threadCpuMs() - cpu);
        }
        const Spread a = spreadOf(times);
        std::printf("for comparison, 150,000 points a trace handed to QCustomPlot's own sampling (1200x800): replot, processor "
                    "%.2f / %.2f / %.2f ms\n", a.min, a.median, a.max);
    }
}

void memoryFigures()
{
    std::printf("\n== Memory a kept scan costs\n");
    const long long n = 1'000'000;
    const long before = residentKiB();
    {
        scope::ScanStore store;
        std::mt19937 rng(2);
        for (long long i = 0; i < n; ++i)
            store.append(scopetest::randomScan(i + 1, i * 24'000'000LL, rng, 6, true));
        const long after = residentKiB();
        std::printf("%lld scans: resident memory grew by %.1f MB, %.1f bytes a scan (fields %zu bytes a scan; blocks held %.1f MB)\n",
                    n, static_cast<double>(after - before) / 1024.0, static_cast<double>(after - before) * 1024.0 / static_cast<double>(n),
                    scope::ScanStore::kBytesPerScan, static_cast<double>(store.bytesHeld()) / 1048576.0);
    }
    acquisition::Settings all;
    all.topChannel = 6;
    all.digital = true;
    all.pauseMs = acquisition::kMaxSpeedPauseMs;
    const long long bound = scope::ScanStore::kDefaultMaxScans;
    std::printf("bound: %lld scans, %.0f MB of blocks\n", bound,
                static_cast<double>(bound) * static_cast<double>(sizeof(scope::ScanStore::Block)) / scope::ScanStore::kBlockScans / 1048576.0);
    for (const BaudOption& offered : kBaudOptions) {
        const int baud = offered.rate;
        const double rate = acquisition::lineLimitScansPerSecond(all, baud);
        const double day = rate * 86400.0;
        std::printf("%4d baud: the line allows %.1f scans/s at Max Speed, channels 0 to 6 and the lines: 24 h = %.2f million scans "
                    "(%.0f MB); the bound holds %.1f h\n",
                    baud, rate, day / 1e6, day * static_cast<double>(scope::ScanStore::kBytesPerScan) / 1048576.0,
                    rate > 0 ? static_cast<double>(bound) / rate / 3600.0 : 0.0);
    }
}

// The simulated module as its own process, so that it shares no event loop.
struct PtyModuleProcess {
    QProcess process;
    QString device;
    bool start(const QString& program)
    {
        process.setProgram(program);
        process.setArguments({QStringLiteral("--baud"), QStringLiteral("9600")});
        process.start();
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(5000))
            return false;
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !device.isEmpty();
    }
    ~PtyModuleProcess()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(3000);
    }
};

// Scans a second from the rows' seconds column, after the first second.
double zoltctlRate(const QString& exe, const QString& device, int seconds, const QString& out)
{
    QProcess p;
    p.start(exe, {QStringLiteral("--device"), device, QStringLiteral("--no-presence-check"), QStringLiteral("--baud"),
                  QStringLiteral("9600"), QStringLiteral("sample"), QStringLiteral("--interval"), QStringLiteral("max"),
                  QStringLiteral("--channels"), QStringLiteral("6"), QStringLiteral("--digital"), QStringLiteral("--duration"),
                  QString::number(seconds + 1), QStringLiteral("--output"), out});
    if (!p.waitForFinished((seconds + 20) * 1000))
        return -1;
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    std::vector<double> secs;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        bool ok = false;
        const double s = fields.value(1).toDouble(&ok);
        if (ok && s >= 1.0)
            secs.push_back(s);
    }
    if (secs.size() < 2)
        return -1;
    return static_cast<double>(secs.size() - 1) / (secs.back() - secs.front());
}

double scopeRate(const QString& device, int seconds)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("bench.conf")), QSettings::IniFormat);
    scope::ScopeWindow window(settings);
    window.resize(scope::ScopeWindow::kDefaultSize);
    window.show();
    front::LinkOptions link;
    link.device = device;
    link.presenceCheck = false;
    link.baud = 9600;
    if (!window.connectTo(link).isEmpty())
        return -1;
    window.startSampling();
    runFor(1000 + seconds * 1000);
    window.stopSampling();
    const scope::ScanStore& s = window.store();
    const long long first = s.lowerBound(1'000'000'000LL);
    if (s.size() - first < 2)
        return -1;
    return static_cast<double>(s.size() - 1 - first) / (static_cast<double>(s.elapsedNs(s.size() - 1) - s.elapsedNs(first)) * 1e-9);
}

void rateFigures(bool quick)
{
    std::printf("\n== Scans a second at Max Speed, channels 0 to 6 and the lines, 9600 baud, on one zolt-ptymodule\n");
    const QString here = QCoreApplication::applicationDirPath();
    const QString ctl = here + QStringLiteral("/../ctl/zoltctl");
    PtyModuleProcess module;
    if (!QFile::exists(ctl) || !module.start(here + QStringLiteral("/../sim/zolt-ptymodule"))) {
        std::printf("skipped: build zoltctl and zolt-ptymodule first\n");
        return;
    }
    QTemporaryDir dir;
    const int seconds = quick ? 5 : 20;
    const int repeats = 3;
    std::vector<double> ctlRates, scopeRates;
    for (int k = 0; k < repeats; ++k) {
        const double c = zoltctlRate(ctl, module.device, seconds, dir.filePath(QStringLiteral("ctl.csv")));
        const double s = scopeRate(module.device, seconds);
        std::printf("turn %d: zoltctl %.2f scans/s, zoltscope %.2f scans/s (%.1f %%)\n", k + 1, c, s, c > 0 ? 100.0 * s / c : 0.0);
        std::fflush(stdout);
        ctlRates.push_back(c);
        scopeRates.push_back(s);
    }
    const Spread c = spreadOf(ctlRates), s = spreadOf(scopeRates);
    acquisition::Settings all;
    all.topChannel = 6;
    all.digital = true;
    all.pauseMs = acquisition::kMaxSpeedPauseMs;
    std::printf("median: zoltctl %.2f, zoltscope %.2f scans/s: %.1f %% (line limit %.2f)\n", c.median, s.median,
                100.0 * s.median / c.median, acquisition::lineLimitScansPerSecond(all, 9600));
}

} // namespace

int main(int argc, char* argv[])
{
    benchfigures::ScopeBenchApp app(argc, argv);
    repaintFigures(app.quick());
    memoryFigures();
    if (!app.has(QStringLiteral("--repaint-only")))
        rateFigures(app.quick());
    return 0;
}
