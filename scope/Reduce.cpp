#include "scope/Reduce.h"

#include <algorithm>
#include <limits>

namespace scope {

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

    // One scan each side of the stretch, when there is one.
    const long long first = store.lowerBound(fromNs);
    long long end = store.lowerBound(toNs + 1);
    out.firstInView = first;
    out.scansInView = end - first;
    const long long begin = first > 0 ? first - 1 : 0;
    if (end < store.size())
        ++end;

    // Columns from time, once for all series: -1 left of the stretch,
    // `columns` right of it.
    std::vector<int>& column = out.column;
    std::vector<double>& key = out.key;
    const auto n = static_cast<std::size_t>(end - begin);
    column.resize(n);
    key.resize(n);
    const double span = static_cast<double>(toNs - fromNs);
    for (long long i = begin; i < end; ++i) {
        const qint64 t = store.elapsedNs(i);
        int c;
        if (t < fromNs)
            c = -1;
        else if (t > toNs)
            c = columns;
        else
            c = std::min(columns - 1, static_cast<int>(static_cast<double>(t - fromNs) / span * columns));
        column[static_cast<std::size_t>(i - begin)] = c;
        key[static_cast<std::size_t>(i - begin)] = static_cast<double>(t) * 1e-9 + keyOffset;
    }

    for (int s = 0; s < kSeries; ++s) {
        if (!series[s])
            continue;
        std::vector<Point>& pts = out.points[s];
        pts.reserve(static_cast<std::size_t>(2 * columns + 4));
        SeriesStats& st = out.stats[s];
        long long sum = 0;
        int curColumn = std::numeric_limits<int>::min();
        long long minAt = -1;
        long long maxAt = -1;
        int minV = 0;
        int maxV = 0;
        const auto flush = [&] {
            if (minAt < 0)
                return;
            const auto a = static_cast<std::size_t>(std::min(minAt, maxAt) - begin);
            const auto b = static_cast<std::size_t>(std::max(minAt, maxAt) - begin);
            const int va = minAt <= maxAt ? minV : maxV;
            const int vb = minAt <= maxAt ? maxV : minV;
            pts.push_back({key[a], static_cast<double>(va)});
            if (b != a)
                pts.push_back({key[b], static_cast<double>(vb)});
        };
        for (long long i = begin; i < end; ++i) {
            if (!store.valid(i, s))
                continue;
            const auto k = static_cast<std::size_t>(i - begin);
            const int c = column[k];
            const int v = store.value(i, s);
            if (c != curColumn) {
                flush();
                curColumn = c;
                minAt = maxAt = i;
                minV = maxV = v;
            } else {
                if (v < minV) {
                    minV = v;
                    minAt = i;
                }
                if (v > maxV) {
                    maxV = v;
                    maxAt = i;
                }
            }
            if (c >= 0 && c < columns) {
                if (st.n == 0 || v < st.min)
                    st.min = v;
                if (st.n == 0 || v > st.max)
                    st.max = v;
                sum += v;
                st.last = v;
                ++st.n;
            }
        }
        flush();
        if (st.n > 0)
            st.mean = static_cast<double>(sum) / static_cast<double>(st.n);
    }
}

} // namespace scope
