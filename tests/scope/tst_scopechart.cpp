// The chart on a store filled here: the live view follows the run and a held
// one stays, the cursor reads the scan under it, and the exported files are
// what they claim to be (a PNG, a PDF, zoltctl's CSV of the scans in view);
// each trace is drawn through its points, reduced to the columns drawn.

#include "front/ChannelSetup.h"
#include "scope/ScopeChart.h"
#include "tests/scope/RandomScans.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using scope::ScopeChart;
using scope::ScanStore;

class TstScopeChart : public QObject {
    Q_OBJECT

private slots:
    void init();
    void liveFollowsTheRunAndHeldStays();
    void cursorReadsTheNearestScan();
    void exportedFilesAreValid();
    void eachTraceIsDrawnThroughItsPointsAtTheDrawnWidth();
    void aSetupPutsEachUnitOnItsOwnAxis_data();
    void aSetupPutsEachUnitOnItsOwnAxis();

private:
    // 200 s of scans, one each 100 ms.
    void fill(ScanStore& store, int from, int to);
    std::mt19937 m_rng{9};
};

void TstScopeChart::init() { m_rng.seed(9); }

void TstScopeChart::fill(ScanStore& store, int from, int to)
{
    for (int i = from; i < to; ++i)
        store.append(scopetest::randomScan(i + 1, i * 100'000'000LL, m_rng, 6, true));
}

void TstScopeChart::liveFollowsTheRunAndHeldStays()
{
    ScanStore store;
    ScopeChart chart(store);
    chart.resize(800, 500);
    chart.setWindowSeconds(10);
    fill(store, 0, 2000);
    chart.refresh(true);
    QCOMPARE(chart.viewToNs(), 1999 * 100'000'000LL);
    QCOMPARE(chart.viewFromNs(), chart.viewToNs() - 10'000'000'000LL);
    QCOMPARE(chart.reduction().scansInView, 101LL);
    QCOMPARE(chart.xAxis->range().upper, 199.9);

    chart.setLive(false);
    fill(store, 2000, 2100);
    chart.refresh(true);
    QCOMPARE(chart.viewToNs(), 1999 * 100'000'000LL);
    // A zoom holds the view, and back to live it follows again.
    chart.setLive(true);
    chart.zoomBy(0.5);
    QVERIFY(!chart.live());
    QCOMPARE(chart.viewToNs() - chart.viewFromNs(), 5'000'000'000LL);
    chart.setLive(true);
    QCOMPARE(chart.viewToNs(), 2099 * 100'000'000LL);
    // A drag on the axis, as the mouse makes it, holds too.
    QSignalSpy held(&chart, &ScopeChart::heldByUser);
    chart.xAxis->setRange(100, 120);
    QCOMPARE(held.count(), 1);
    QVERIFY(!chart.live());
    QTRY_COMPARE(chart.viewFromNs(), 100'000'000'000LL);

    // The whole run.
    chart.setWindowSeconds(0);
    chart.setLive(true);
    QCOMPARE(chart.viewFromNs(), 0LL);
    QCOMPARE(chart.reduction().scansInView, 2100LL);
}

void TstScopeChart::cursorReadsTheNearestScan()
{
    ScanStore store;
    ScopeChart chart(store);
    chart.resize(800, 500);
    fill(store, 0, 100);
    chart.setSeriesVisible(2, false);
    chart.refresh(true);
    chart.placeCursor(4.26);   // nearest scan: 4.3 s, index 43
    const QString text = chart.cursorText();
    QVERIFY2(text.startsWith(QLatin1String("4.300 s")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("ch0  %1 mV").arg(store.millivolts(43, 0), 4)));
    QVERIFY(text.contains(QStringLiteral("ch6  %1 mV").arg(store.millivolts(43, 6), 4)));
    QVERIFY(!text.contains(QLatin1String("ch2")));
    QVERIFY(text.contains(QStringLiteral("din3..5  %1 %2 %3").arg(store.line(43, 0)).arg(store.line(43, 1)).arg(store.line(43, 2))));
}

void TstScopeChart::exportedFilesAreValid()
{
    ScanStore store;
    ScopeChart chart(store);
    chart.resize(800, 500);
    chart.setWindowSeconds(10);
    fill(store, 0, 300);
    chart.refresh(true);
    QTemporaryDir dir;

    const QString png = dir.filePath(QStringLiteral("c.png"));
    QVERIFY(chart.exportPng(png));
    QFile p(png);
    QVERIFY(p.open(QIODevice::ReadOnly));
    QCOMPARE(p.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    QImage image(png);
    QCOMPARE(image.size(), QSize(800, 500));

    const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
    QVERIFY(chart.exportPdf(pdf));
    QFile d(pdf);
    QVERIFY(d.open(QIODevice::ReadOnly));
    const QByteArray doc = d.readAll();
    QVERIFY(doc.startsWith("%PDF-"));
    QVERIFY(doc.trimmed().endsWith("%%EOF"));

    // The CSV holds the scans in view (19.9 s to 29.9 s: 101 scans), as zoltctl writes them.
    const QString csv = dir.filePath(QStringLiteral("c.csv"));
    QCOMPARE(chart.exportCsv(csv), QString());
    QFile c(csv);
    QVERIFY(c.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = c.readAll().split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.size(), 1 + 101);
    const QList<QByteArray> header = lines.at(0).split(',');
    QCOMPARE(header.size(), 2 + 14 + 3);
    QCOMPARE(header.at(2), QByteArray("ch0_count"));
    QCOMPARE(header.last(), QByteArray("din5"));
    const QList<QByteArray> first = lines.at(1).split(',');
    QCOMPARE(first.size(), header.size());
    QCOMPARE(first.at(1), QByteArray("19.900"));
    QCOMPARE(first.at(2).toInt(), store.count(199, 0));
    QCOMPARE(first.at(15).toInt(), store.millivolts(199, 6));
    QCOMPARE(lines.last().split(',').at(1), QByteArray("29.900"));
    QVERIFY(!chart.exportCsv(QStringLiteral("/nonexistent-folder/c.csv")).isEmpty());
}

void TstScopeChart::eachTraceIsDrawnThroughItsPointsAtTheDrawnWidth()
{
    ScanStore store;
    ScopeChart chart(store);
    chart.resize(800, 500);
    chart.setWindowSeconds(0);
    fill(store, 0, 2000);
    std::array<bool, scope::kSeries> shown{};
    for (int s = 0; s < scope::kSeries; ++s) {
        // One trace at a time, so that none covers another's points.
        for (int other = 0; other < scope::kSeries; ++other)
            chart.setSeriesVisible(other, other == s);
        chart.refresh(true);
        const QImage image = chart.grab().toImage();
        // Within the plot, clear of the axes' tick marks drawn over its edges.
        const QRect area = chart.axisRects().value(s < scope::kAnalogSeries ? 0 : 1)->rect().adjusted(6, 6, -6, -6);
        int inside = 0;
        for (const scope::Point& p : chart.reduction().points[s]) {
            const QPoint at = chart.tracePixel(s, p);
            if (!area.contains(at))
                continue;
            ++inside;
            QVERIFY2(image.pixelColor(at) == chart.colour(s), qPrintable(QStringLiteral("series %1 at %2,%3").arg(s).arg(at.x()).arg(at.y())));
        }
        QVERIFY2(inside >= 20, qPrintable(QStringLiteral("series %1: %2 points checked").arg(s).arg(inside)));
        shown[s] = true;
    }
    // A resize alone redraws: the traces are then of the new width's columns.
    chart.resize(500, 400);
    chart.replot(QCustomPlot::rpImmediateRefresh);
    shown.fill(false);
    shown[scope::kSeries - 1] = true;
    scope::Reduction fresh;
    scope::reduce(store, chart.viewFromNs(), chart.viewToNs(), chart.axisRect()->width(), 0, shown, fresh);
    QCOMPARE(chart.reduction().points[scope::kSeries - 1].size(), fresh.points[scope::kSeries - 1].size());
}

void TstScopeChart::aSetupPutsEachUnitOnItsOwnAxis_data()
{
    // Units of channels 0..6 (empty: the default mV), the axes expected left to right.
    QTest::addColumn<QStringList>("units");
    QTest::addColumn<QStringList>("axes");
    QTest::newRow("all mV") << QStringList(7, QString()) << QStringList{"mV"};
    QTest::newRow("two units") << QStringList{"", "", "°C", "", "", "", "°C"} << QStringList{"mV", "°C"};
    QTest::newRow("three units") << QStringList{"V", "", "°C", "bar", "bar", "V", "V"} << QStringList{"V", "mV", "°C", "bar"};
}

void TstScopeChart::aSetupPutsEachUnitOnItsOwnAxis()
{
    QFETCH(QStringList, units);
    QFETCH(QStringList, axes);
    ScanStore store;
    ScopeChart chart(store);
    chart.resize(800, 500);
    fill(store, 0, 100);
    front::ChannelSetup setup;
    for (int ch = 0; ch < 7; ++ch) {
        front::InputSetup in = setup.input(ch);
        if (!units[ch].isEmpty()) {
            in.unit = units[ch];
            in.gain = 0.05;
            in.offset = -20 + ch;
            in.name = QStringLiteral("sensor %1").arg(ch);
        }
        QCOMPARE(setup.setInput(ch, in), QString());
    }
    chart.setSetup(setup);
    chart.refresh(true);
    QCOMPARE(chart.axisUnits(), axes);
    QCOMPARE(chart.yAxis2->visible(), axes.size() > 1);
    for (int ch = 0; ch < 7; ++ch) {
        // Each trace on the axis of its unit, in that unit.
        QCPGraph* g = chart.graph(ch);
        QCOMPARE(g->valueAxis()->label(), units[ch].isEmpty() ? QStringLiteral("mV") : units[ch]);
        QCOMPARE(g->name(), setup.input(ch).name);
        const std::vector<scope::Point>& reduced = chart.reduction().points[ch];
        QVERIFY(!reduced.empty());
        // Drawn where the axis reads the value in its unit: within two pixels
        // (whole pixels, and the rect's last row against the axis's bottom).
        const double pixel = g->valueAxis()->range().size() / chart.axisRect()->height();
        for (std::size_t i = 0; i < reduced.size(); i += 7) {
            const double drawn = g->valueAxis()->pixelToCoord(chart.tracePixel(ch, reduced[i]).y());
            QVERIFY(std::fabs(drawn - setup.input(ch).value(reduced[i].value)) <= 2 * pixel);
        }
        // The fixed range takes in 0 to 5000 mV of every input on the axis.
        double lowest = 1e9;
        double highest = -1e9;
        for (int other = 0; other < 7; ++other) {
            if (units[other] == units[ch]) {
                lowest = std::min(lowest, setup.input(other).value(0));
                highest = std::max(highest, setup.input(other).value(5000));
            }
        }
        QCOMPARE(g->valueAxis()->range().lower, lowest);
        QCOMPARE(g->valueAxis()->range().upper, highest);
    }
    chart.placeCursor(4.26);   // scan 43
    const QString text = chart.cursorText();
    if (!units[2].isEmpty()) {
        const QString value = QString::number(0.05 * store.millivolts(43, 2) - 18, 'f', 2);
        QVERIFY2(text.contains(QStringLiteral("sensor 2  %1 %2").arg(value, units[2])), qPrintable(text));
    }
    // Showing only one unit's channels folds the axes back to one.
    for (int ch = 0; ch < 7; ++ch)
        chart.setSeriesVisible(ch, units[ch] == units[0]);
    QCOMPARE(chart.axisUnits().size(), 1);
    QVERIFY(!chart.yAxis2->visible());
}
QTEST_MAIN(TstScopeChart)
#include "tst_scopechart.moc"
