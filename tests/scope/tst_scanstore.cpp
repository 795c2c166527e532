// The store of a run's scans and what the chart draws of it: every scan
// comes back as it went in, across blocks and past the bound, and the
// reduction to pixel columns keeps every column's minimum and maximum
// (checked against a plain search over many random series), and a view's
// reduction kept between repaints is always the one a fresh pass would give.

#include "scope/Reduce.h"
#include "scope/ScanStore.h"
#include "tests/scope/RandomScans.h"

#include <QTest>
#include <algorithm>
#include <map>
#include <random>

using scope::kAnalogSeries;
using scope::kSeries;
using scope::Reduction;
using scope::ScanStore;

using scopetest::randomScan;

class TstScanStore : public QObject {
    Q_OBJECT

private slots:
    void scansComeBackAsTheyWentInAcrossBlocks();
    void pastTheBoundTheOldestGoWholeAndTheRestStay();
    void reductionKeepsEveryColumnsMinimumAndMaximum();
    void reductionReachesPastBothEdgesAndSkipsWhatWasNotSampled();
    void aKeptReductionIsWhatAFreshPassGives_data();
    void aKeptReductionIsWhatAFreshPassGives();
};

void TstScanStore::scansComeBackAsTheyWentInAcrossBlocks()
{
    std::mt19937 rng(7);
    ScanStore store;
    std::vector<acquisition::Scan> given;
    const long long n = 2 * ScanStore::kBlockScans + 123;
    for (long long i = 0; i < n; ++i) {
        // The channels read and the digital lines change during the run.
        const int top = static_cast<int>(i / 5000 % 7);
        given.push_back(randomScan(i + 1, i * 26'000'000LL + (i % 3), rng, top, i % 3 != 0));
        store.append(given.back());
    }
    QCOMPARE(store.size(), n);
    QCOMPARE(store.dropped(), 0LL);
    for (long long i : {0LL, 1LL, ScanStore::kBlockScans - 1LL, ScanStore::kBlockScans * 1LL, n - 1, n / 2}) {
        const acquisition::Scan back = store.scan(i);
        const acquisition::Scan& in = given[static_cast<std::size_t>(i)];
        QCOMPARE(back.seq, in.seq);
        QCOMPARE(back.elapsedNs, in.elapsedNs);
        QCOMPARE(back.wall, in.wall);
        QCOMPARE(back.topChannel, in.topChannel);
        QCOMPARE(back.digital, in.digital);
        QCOMPARE(back.counts, in.counts);
        QCOMPARE(back.millivolts, in.millivolts);
        QCOMPARE(back.lines, in.lines);
    }
    // Every value, through the series view the chart reads.
    for (long long i = 0; i < n; ++i) {
        const acquisition::Scan& in = given[static_cast<std::size_t>(i)];
        for (int s = 0; s < kSeries; ++s) {
            const bool valid = s < kAnalogSeries ? s <= in.topChannel : in.digital;
            QCOMPARE(store.valid(i, s), valid);
            if (valid)
                QCOMPARE(store.value(i, s), s < kAnalogSeries ? in.millivolts[s] : in.lines[s - kAnalogSeries]);
        }
    }
    QCOMPARE(store.lowerBound(0), 0LL);
    QCOMPARE(store.lowerBound(26'000'000LL * 100 + 2), 101LL);
    QCOMPARE(store.lowerBound(given.back().elapsedNs + 1), n);
}

void TstScanStore::pastTheBoundTheOldestGoWholeAndTheRestStay()
{
    std::mt19937 rng(11);
    ScanStore store(2 * ScanStore::kBlockScans);
    const long long bound = store.maxScans();
    std::vector<acquisition::Scan> given;
    const long long n = 3 * ScanStore::kBlockScans + 500;
    for (long long i = 0; i < n; ++i) {
        given.push_back(randomScan(i + 1, i * 1'000'000LL, rng, 6, true));
        store.append(given.back());
        QVERIFY(store.size() <= bound);
        QVERIFY(store.bytesHeld() <= static_cast<std::size_t>(bound / ScanStore::kBlockScans) * sizeof(ScanStore::Block));
    }
    QCOMPARE(store.size() + store.dropped(), n);
    QVERIFY(store.dropped() > 0);
    // The kept ones are the newest, in order, unchanged.
    for (long long i = 0; i < store.size(); i += 997) {
        const acquisition::Scan& in = given[static_cast<std::size_t>(store.dropped() + i)];
        QCOMPARE(store.scan(i).seq, in.seq);
        QCOMPARE(store.elapsedNs(i), in.elapsedNs);
        QCOMPARE(store.scan(i).counts, in.counts);
    }
    QCOMPARE(store.scan(store.size() - 1).seq, n);
    QCOMPARE(store.firstSeq(), store.dropped() + 1);
}

void TstScanStore::reductionKeepsEveryColumnsMinimumAndMaximum()
{
    std::mt19937 rng(2026);
    Reduction r;
    std::array<bool, kSeries> all{};
    all.fill(true);
    for (int round = 0; round < 60; ++round) {
        ScanStore store;
        const int n = 1 + static_cast<int>(rng() % 40000);
        qint64 t = static_cast<qint64>(rng() % 1000) * 1'000'000;
        std::uniform_int_distribution<qint64> step(1'000'000, 60'000'000);
        std::vector<qint64> times;
        for (int i = 0; i < n; ++i) {
            // Irregular steps, and now and then a long gap (a port away).
            t += (rng() % 500 == 0) ? 5'000'000'000LL : step(rng);
            times.push_back(t);
            store.append(randomScan(i + 1, t, rng, static_cast<int>(rng() % 7), rng() % 4 != 0));
        }
        const int columns = 1 + static_cast<int>(rng() % 1500);
        // A view that may start before the run and end after it.
        const qint64 from = times.front() - 2'000'000'000LL + static_cast<qint64>(rng() % 4'000'000'000ULL) +
                            static_cast<qint64>(rng() % static_cast<unsigned>(std::max<qint64>(1, (t - times.front()) / 1'000'000))) * 500'000;
        const qint64 to = from + 1 + static_cast<qint64>(rng() % 1'000'000'000ULL) * (1 + static_cast<qint64>(rng() % 400));
        const double offset = round % 2 ? 1.7e9 : 0.0;
        scope::reduce(store, from, to, columns, offset, all, r);

        for (int s = 0; s < kSeries; ++s) {
            // The plain search: each column's scans, min and max.
            std::map<int, std::pair<int, int>> brute;
            scope::SeriesStats st;
            long long sum = 0;
            for (long long i = 0; i < store.size(); ++i) {
                const qint64 ti = store.elapsedNs(i);
                if (ti < from || ti > to || !store.valid(i, s))
                    continue;
                const int c = std::min(columns - 1, static_cast<int>(static_cast<double>(ti - from) / static_cast<double>(to - from) * columns));
                const int v = store.value(i, s);
                auto [it, fresh] = brute.try_emplace(c, v, v);
                it->second.first = std::min(it->second.first, v);
                it->second.second = std::max(it->second.second, v);
                st.min = st.n == 0 ? v : std::min(st.min, v);
                st.max = st.n == 0 ? v : std::max(st.max, v);
                st.last = v;
                sum += v;
                ++st.n;
            }
            const std::vector<scope::Point>& pts = r.points[s];
            QVERIFY(pts.size() <= static_cast<std::size_t>(2 * columns + 4));
            // Keys in order, every point a real scan of its column.
            std::map<int, std::pair<int, int>> drawn;
            for (std::size_t k = 0; k < pts.size(); ++k) {
                if (k > 0)
                    QVERIFY(pts[k].key >= pts[k - 1].key);
                const auto ns = static_cast<qint64>(std::llround((pts[k].key - offset) * 1e9));
                const long long i = store.lowerBound(ns - 2000);
                QVERIFY(i < store.size() && std::llabs(store.elapsedNs(i) - ns) < 4000);
                QVERIFY(store.valid(i, s));
                QCOMPARE(static_cast<int>(pts[k].value), store.value(i, s));
                const qint64 ti = store.elapsedNs(i);
                if (ti < from || ti > to)
                    continue;
                const int c = std::min(columns - 1, static_cast<int>(static_cast<double>(ti - from) / static_cast<double>(to - from) * columns));
                const int v = store.value(i, s);
                auto [it, fresh] = drawn.try_emplace(c, v, v);
                it->second.first = std::min(it->second.first, v);
                it->second.second = std::max(it->second.second, v);
            }
            if (drawn != brute)
                QFAIL(qPrintable(QStringLiteral("round %1 series %2: a column's minimum or maximum is lost").arg(round).arg(s)));
            QCOMPARE(r.stats[s].n, st.n);
            if (st.n > 0) {
                QCOMPARE(r.stats[s].min, st.min);
                QCOMPARE(r.stats[s].max, st.max);
                QCOMPARE(r.stats[s].last, st.last);
                QVERIFY(std::abs(r.stats[s].mean - static_cast<double>(sum) / static_cast<double>(st.n)) < 1e-6);
            }
        }
    }
}

void TstScanStore::reductionReachesPastBothEdgesAndSkipsWhatWasNotSampled()
{
    std::mt19937 rng(3);
    ScanStore store;
    for (int i = 0; i < 100; ++i)
        store.append(randomScan(i + 1, i * 1'000'000'000LL, rng, i < 50 ? 2 : 6, i >= 50));
    std::array<bool, kSeries> all{};
    all.fill(true);
    Reduction r;
    // Seconds 40.5 to 59.5: scans 41..59 inside, 40 and 60 one each side.
    scope::reduce(store, 40'500'000'000LL, 59'500'000'000LL, 1000, 0, all, r);
    QCOMPARE(r.scansInView, 19LL);
    QCOMPARE(r.points[0].front().key, 40.0);
    QCOMPARE(r.points[0].back().key, 60.0);
    QCOMPARE(r.points[0].size(), std::size_t(21));
    // Channel 5 and the lines only from scan 50 on: its first point is that scan.
    QCOMPARE(r.points[5].front().key, 50.0);
    QCOMPARE(r.points[kAnalogSeries].front().key, 50.0);
    QCOMPARE(r.stats[5].n, 10LL);
    QCOMPARE(r.stats[5].last, store.value(59, 5));
    // A series not asked for is not drawn.
    all[3] = false;
    scope::reduce(store, 0, 99'000'000'000LL, 10, 0, all, r);
    QVERIFY(r.points[3].empty());
    QVERIFY(!r.points[2].empty());
}

void TstScanStore::aKeptReductionIsWhatAFreshPassGives_data()
{
    // A store of the smallest bound (two blocks, 32,768 scans) filled to 1,000
    // short of it, a scan every 100 ms (0 to 3176.7 s); a view of it kept, then one change, then kept
    // again: whether that took a pass, and what was kept against a fresh pass.
    QTest::addColumn<double>("fromS");
    QTest::addColumn<double>("toS");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("reduces");
    const auto row = [](const char* name, double from, double to, const char* change, bool reduces) {
        QTest::newRow(name) << from << to << QString::fromLatin1(change) << reduces;
    };
    row("nothing", 1000, 2000, "", false);
    row("scans added after the stretch", 1000, 2000, "add", false);
    row("scans added inside a stretch past the end", 3000, 3400, "add", true);
    row("scans added after a stretch ending on the last", 3000, 3176.7, "add", true);
    row("stretch moved", 1000, 2000, "move", true);
    row("columns", 1000, 2000, "columns", true);
    row("series hidden", 1000, 2000, "hide", true);
    row("key offset", 1000, 2000, "offset", true);
    row("emptied and filled with other values", 1000, 2000, "refill", true);
    row("oldest block dropped", 1000, 2000, "drop", true);
}

void TstScanStore::aKeptReductionIsWhatAFreshPassGives()
{
    QFETCH(double, fromS);
    QFETCH(double, toS);
    QFETCH(QString, change);
    QFETCH(bool, reduces);
    std::mt19937 rng(7);
    ScanStore store(1);
    const auto fill = [&](long long from, long long to) {
        for (long long i = from; i < to; ++i)
            store.append(randomScan(i + 1, i * 100'000'000LL, rng, 6, true));
    };
    const long long full = 2 * ScanStore::kBlockScans - 1000;
    fill(0, full);
    auto from = static_cast<qint64>(fromS * 1e9);
    auto to = static_cast<qint64>(toS * 1e9);
    int columns = 700;
    double offset = 0;
    std::array<bool, kSeries> series{};
    series.fill(true);
    scope::KeptReduction kept;
    QVERIFY(kept.update(store, from, to, columns, offset, series));
    QVERIFY(!kept.update(store, from, to, columns, offset, series));

    if (change == QLatin1String("add"))
        fill(full, full + 300);
    else if (change == QLatin1String("move"))
        from += 1'000'000;
    else if (change == QLatin1String("columns"))
        columns = 699;
    else if (change == QLatin1String("hide"))
        series[4] = false;
    else if (change == QLatin1String("offset"))
        offset = 1.5;
    else if (change == QLatin1String("refill")) {
        store.clear();
        fill(0, full);
    } else if (change == QLatin1String("drop"))
        fill(full, full + 1001);
    QCOMPARE(kept.update(store, from, to, columns, offset, series), reduces);

    Reduction fresh;
    scope::reduce(store, from, to, columns, offset, series, fresh);
    const Reduction& k = kept.reduction();
    QCOMPARE(k.firstInView, fresh.firstInView);
    QCOMPARE(k.scansInView, fresh.scansInView);
    for (int s = 0; s < kSeries; ++s) {
        QCOMPARE(k.points[s].size(), fresh.points[s].size());
        for (std::size_t i = 0; i < k.points[s].size(); ++i) {
            QCOMPARE(k.points[s][i].key, fresh.points[s][i].key);
            QCOMPARE(k.points[s][i].value, fresh.points[s][i].value);
        }
        QCOMPARE(k.stats[s].n, fresh.stats[s].n);
        QCOMPARE(k.stats[s].min, fresh.stats[s].min);
        QCOMPARE(k.stats[s].max, fresh.stats[s].max);
        QCOMPARE(k.stats[s].last, fresh.stats[s].last);
        QCOMPARE(k.stats[s].mean, fresh.stats[s].mean);
    }
}

QTEST_GUILESS_MAIN(TstScanStore)
#include "tst_scanstore.moc"
