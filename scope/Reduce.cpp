#include "scope/Reduce.h"

#include <algorithm>
#include <limits>

namespace scope {

namespace {

// A series' minimum and maximum (with where they are), sum and count over
// some scans.
struct Span {
    long long minAt = -1;
    long long maxAt = -1;
    int min = 0;
    int max = 0;
    long long sum = 0;
    long long n = 0;

    void take(int v, long long at)
    {
        if (n == 0 || v < min) {
            min = v;
            minAt = at;
        }
        if (n == 0 || v > max) {
            max = v;
            maxAt = at;
        }
        sum += v;
        ++n;
    }
    template <typename G>
    void take(const G& g, long long base)
    {
        if (g.n == 0)
            return;
        if (n == 0 || g.min < min) {
            min = g.min;
            minAt = base + g.minAt;
        }
        if (n == 0 || g.max > max) {
            max = g.max;
            maxAt = base + g.maxAt;
        }
        sum += g.sum;
        n += g.n;
    }
};

// Scans a..b-1 of one series, scan by scan, within one block. The loop
// keeps its figures in locals and merges them once: it runs for the ends of
// every pixel column of every series, so it is most of what a reduction costs.
template <typename Valid, typename Value>
void takeRun(Span& s, long long a, int n, Valid valid, Value value)
{
    int min = std::numeric_limits<int>::max();
    int max = std::numeric_limits<int>::min();
    int minK = -1;
    int maxK = -1;
    long long sum = 0;
    int count = 0;
    for (int k = 0; k < n; ++k) {
        if (!valid(k))
            continue;
        const int v = value(k);
        if (v < min) {
            min = v;
            minK = k;
        }
        if (v > max) {
            max = v;
            maxK = k;
        }
        sum += v;
        ++count;
    }
    if (count == 0)
        return;
    if (s.n == 0 || min < s.min) {
        s.min = min;
        s.minAt = a + minK;
    }
    if (s.n == 0 || max > s.max) {
        s.max = max;
        s.maxAt = a + maxK;
    }
    s.sum += sum;
    s.n += count;
}

// Slots k0..k1-1 of one block, one series, scan by scan; base is the index of
// the block's slot 0.
void takeScans(Span& s, const ScanStore::Block& blk, int series, int k0, int k1, long long base)
{
    if (k0 >= k1)
        return;
    const std::uint8_t* flags = blk.flags.data() + k0;
    const int n = k1 - k0;
    const long long a = base + k0;
    if (series < kAnalogSeries) {
        const std::uint16_t* mv = blk.millivolts[static_cast<std::size_t>(series)].data() + k0;
        takeRun(s, a, n, [&](int k) { return (flags[k] & 0x07) >= series; }, [&](int k) { return int{mv[k]}; });
    } else {
        const std::uint8_t* lines = blk.lines.data() + k0;
        const int bit = series - kAnalogSeries;
        takeRun(s, a, n, [&](int k) { return (flags[k] & 0x08) != 0; }, [&](int k) { return (lines[k] >> bit) & 1; });
    }
}

// Slots k0..k1-1 of one block, one series: whole groups of 512 and of 32
// from their figures, the ends scan by scan.
void takeSlots(Span& s, const ScanStore::Block& blk, int series, int k0, int k1, long long base)
{
    constexpr int g = ScanStore::kGroupScans;
    constexpr int big = ScanStore::kBigGroupScans;
    const ScanStore::Group* groups = blk.groups[static_cast<std::size_t>(series)].data();
    const ScanStore::BigGroup* bigGroups = blk.bigGroups[static_cast<std::size_t>(series)].data();
    const int headEnd = std::min(k1, (k0 + g - 1) / g * g);
    takeScans(s, blk, series, k0, headEnd, base);
    int k = headEnd;
    for (; k % big != 0 && k + g <= k1; k += g)
        s.take(groups[k / g], base + k);
    for (; k + big <= k1; k += big)
        s.take(bigGroups[k / big], base + k);
    for (; k + g <= k1; k += g)
        s.take(groups[k / g], base + k);
    takeScans(s, blk, series, k, k1, base);
}

// Scans a..b-1 of one series, block by block (no group spans two blocks).
Span spanOf(const ScanStore& store, int series, long long a, long long b)
{
    Span s;
    while (a < b) {
        const long long base = a - ScanStore::slot(a);
        const long long stop = std::min(b, base + ScanStore::kBlockScans);
        takeSlots(s, store.block(a), series, ScanStore::slot(a), static_cast<int>(stop - base), base);
        a = stop;
    }
    return s;
}

} // namespace

void reduce(const ScanStore& store, qint64 fromNs, qint64 toNs, int columns, double keyOffset,
            const std::array<bool, kSeries>& series, Reduction& out)
{
    for (auto& p : out.points)
        p.clear();
    out.stats = {};
    out.scansInView = 0;
    out.firstInView = 0;
    if (store.size() == 0 || columns < 1 || toNs <= fromNs)
        return;

    const long long first = store.lowerBound(fromNs);
    const long long end = store.lowerBound(toNs + 1);
    out.firstInView = first;
    out.scansInView = end - first;

    // Where each column starts: the first scan whose column is at least c.
    // Each search gallops from the previous column's start, so that it reads
    // times near the ones it read last rather than across the whole run.
    const double span = static_cast<double>(toNs - fromNs);
    const auto columnOf = [&](long long i) {
        return std::min(columns - 1, static_cast<int>(static_cast<double>(store.elapsedNs(i) - fromNs) / span * columns));
    };
    std::vector<long long>& bounds = out.bounds;
    bounds.assign(static_cast<std::size_t>(columns) + 1, end);
    bounds[0] = first;
    for (int c = 1; c < columns; ++c) {
        long long lo = bounds[static_cast<std::size_t>(c - 1)];
        long long step = 1;
        long long hi = lo;
        while (hi < end && columnOf(hi) < c) {
            lo = hi + 1;
            hi = std::min(end, hi + step);
            step *= 2;
        }
        while (lo < hi) {
            const long long mid = lo + (hi - lo) / 2;
            if (columnOf(mid) < c)
                lo = mid + 1;
            else
                hi = mid;
        }
        bounds[static_cast<std::size_t>(c)] = lo;
    }
    // Columns of many scans start on a group's edge, so that they are read
    // from the groups' figures alone, no scan by scan. A scan then falls in
    // the next or last column by less than an eighth of a column; its point
    // still has its own time.
    constexpr int g = ScanStore::kGroupScans;
    if ((end - first) / columns >= 8 * g) {
        for (int c = 1; c < columns; ++c) {
            const long long at = (bounds[static_cast<std::size_t>(c)] + g / 2) / g * g;
            bounds[static_cast<std::size_t>(c)] = std::clamp(at, bounds[static_cast<std::size_t>(c - 1)], end);
        }
    }
    const auto key = [&](long long i) { return static_cast<double>(store.elapsedNs(i)) * 1e-9 + keyOffset; };

    // The scan just before the stretch, so the lines reach the left edge.
    for (int s = 0; s < kSeries; ++s) {
        std::vector<Point>& pts = out.points[s];
        if (!series[s])
            continue;
        pts.reserve(static_cast<std::size_t>(2 * columns + 4));
        if (first > 0 && store.valid(first - 1, s))
            pts.push_back({key(first - 1), static_cast<double>(store.value(first - 1, s))});
    }
    // Column by column, every series of a column together: the times of the
    // minima and maxima are then read while that stretch is still in cache.
    std::array<Span, kSeries> all;
    for (int c = 0; c < columns; ++c) {
        const long long a = bounds[static_cast<std::size_t>(c)];
        const long long b = bounds[static_cast<std::size_t>(c) + 1];
        if (a == b)
            continue;
        for (int s = 0; s < kSeries; ++s) {
            if (!series[s])
                continue;
            const Span col = spanOf(store, s, a, b);
            if (col.n == 0)
                continue;
            std::vector<Point>& pts = out.points[s];
            const long long lo = std::min(col.minAt, col.maxAt);
            const long long hi = std::max(col.minAt, col.maxAt);
            pts.push_back({key(lo), static_cast<double>(lo == col.minAt ? col.min : col.max)});
            if (hi != lo)
                pts.push_back({key(hi), static_cast<double>(hi == col.maxAt ? col.max : col.min)});
            Span& whole = all[static_cast<std::size_t>(s)];
            if (whole.n == 0 || col.min < whole.min)
                whole.min = col.min;
            if (whole.n == 0 || col.max > whole.max)
                whole.max = col.max;
            whole.sum += col.sum;
            whole.n += col.n;
        }
    }

    for (int s = 0; s < kSeries; ++s) {
        if (!series[s])
            continue;
        // The scan just after the stretch, so the lines reach the right edge.
        if (end < store.size() && store.valid(end, s))
            out.points[s].push_back({key(end), static_cast<double>(store.value(end, s))});

        const Span& whole = all[static_cast<std::size_t>(s)];
        SeriesStats& st = out.stats[s];
        st.n = whole.n;
        if (whole.n > 0) {
            st.min = whole.min;
            st.max = whole.max;
            st.mean = static_cast<double>(whole.sum) / static_cast<double>(whole.n);
            for (long long i = end - 1; i >= first; --i) {
                if (store.valid(i, s)) {
                    st.last = store.value(i, s);
                    break;
                }
            }
        }
    }
}

bool KeptReduction::stillHolds(const ScanStore& store, qint64 fromNs, qint64 toNs, int columns, double keyOffset,
                               const std::array<bool, kSeries>& series) const
{
    if (!m_kept || !m_keeping || fromNs != m_fromNs || toNs != m_toNs || columns != m_columns || keyOffset != m_keyOffset ||
        series != m_series || store.clears() != m_clears || store.dropped() != m_dropped || store.size() < m_size)
        return false;
    if (store.size() == m_size)
        return true;
    // Scans were added: the pass read up to the scan just past the stretch,
    // so the kept one holds while that scan was already there and the
    // stretch still starts and ends at the same scans.
    const long long first = m_reduction.firstInView;
    const long long end = first + m_reduction.scansInView;
    return end < m_size && store.lowerBound(fromNs) == first && store.lowerBound(toNs + 1) == end;
}

bool KeptReduction::update(const ScanStore& store, qint64 fromNs, qint64 toNs, int columns, double keyOffset,
                           const std::array<bool, kSeries>& series)
{
    if (stillHolds(store, fromNs, toNs, columns, keyOffset, series)) {
        m_size = store.size();
        return false;
    }
    reduce(store, fromNs, toNs, columns, keyOffset, series, m_reduction);
    ++m_passes;
    m_kept = true;
    m_fromNs = fromNs;
    m_toNs = toNs;
    m_columns = columns;
    m_keyOffset = keyOffset;
    m_series = series;
    m_size = store.size();
    m_dropped = store.dropped();
    m_clears = store.clears();
    return true;
}

} // namespace scope
