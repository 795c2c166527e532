#include "scope/ScanStore.h"

#include <algorithm>

namespace scope {

ScanStore::ScanStore(long long maxScans)
    : m_maxScans((std::max<long long>(maxScans, 2 * kBlockScans) + kBlockScans - 1) / kBlockScans * kBlockScans)
{
}

void ScanStore::clear()
{
    m_blocks.clear();
    m_size = 0;
    m_dropped = 0;
    m_firstSeq = 1;
    ++m_clears;
}

void ScanStore::append(const acquisition::Scan& s)
{
    if (m_size == 0 && m_dropped == 0)
        m_firstSeq = s.seq;
    if (m_size % kBlockScans == 0) {
        // A new block; at the bound the oldest one goes first, so that the
        // store never holds more than the bound (a whole number of blocks).
        if (m_size >= m_maxScans) {
            m_blocks.pop_front();
            m_size -= kBlockScans;
            m_dropped += kBlockScans;
        }
        m_blocks.push_back(std::make_unique<Block>());
    }
    const long long at = m_size;
    Block& b = *m_blocks[static_cast<std::size_t>(at / kBlockScans)];
    const int k = static_cast<int>(at % kBlockScans);
    b.elapsedNs[k] = s.elapsedNs;
    b.wallNs[k] = std::chrono::duration_cast<std::chrono::nanoseconds>(s.wall.time_since_epoch()).count();
    const int top = std::clamp(s.topChannel, 0, acquisition::kChannels - 1);
    for (int ch = 0; ch < acquisition::kChannels; ++ch) {
        const bool on = ch <= top;
        b.counts[ch][k] = static_cast<std::uint16_t>(on ? std::clamp(s.counts[ch], 0, 65535) : 0);
        b.millivolts[ch][k] = static_cast<std::uint16_t>(on ? std::clamp(s.millivolts[ch], 0, 65535) : 0);
    }
    std::uint8_t bits = 0;
    for (int l = 0; l < acquisition::kDigitalLines; ++l) {
        if (s.digital && s.lines[l] != 0)
            bits = static_cast<std::uint8_t>(bits | (1u << l));
    }
    b.lines[k] = bits;
    b.flags[k] = static_cast<std::uint8_t>(top | (s.digital ? 0x08 : 0));
    const auto within = static_cast<std::uint8_t>(k % kGroupScans);
    for (int series = 0; series < kSeries; ++series) {
        Group& g = b.groups[static_cast<std::size_t>(series)][static_cast<std::size_t>(k / kGroupScans)];
        if (within == 0)
            g = Group{0, 0, 0, 0, 0, 0};
        const bool has = series < kAnalogSeries ? series <= top : s.digital;
        if (!has)
            continue;
        const std::uint16_t v = series < kAnalogSeries ? b.millivolts[series][k]
                                                      : static_cast<std::uint16_t>((bits >> (series - kAnalogSeries)) & 1);
        if (g.n == 0 || v < g.min) {
            g.min = v;
            g.minAt = within;
        }
        if (g.n == 0 || v > g.max) {
            g.max = v;
            g.maxAt = within;
        }
        g.sum += v;
        ++g.n;
    }
    if (within == kGroupScans - 1) {
        // A group of 32 is whole: into its group of 512.
        const int first = k / kBigGroupScans * kBigGroupScans;
        const auto base = static_cast<std::uint16_t>(k - within - first);
        for (int series = 0; series < kSeries; ++series) {
            const Group& g = b.groups[static_cast<std::size_t>(series)][static_cast<std::size_t>(k / kGroupScans)];
            BigGroup& big = b.bigGroups[static_cast<std::size_t>(series)][static_cast<std::size_t>(k / kBigGroupScans)];
            if (base == 0)
                big = BigGroup{0, 0, 0, 0, 0, 0};
            if (g.n == 0)
                continue;
            if (big.n == 0 || g.min < big.min) {
                big.min = g.min;
                big.minAt = static_cast<std::uint16_t>(base + g.minAt);
            }
            if (big.n == 0 || g.max > big.max) {
                big.max = g.max;
                big.maxAt = static_cast<std::uint16_t>(base + g.maxAt);
            }
            big.sum += g.sum;
            big.n = static_cast<std::uint16_t>(big.n + g.n);
        }
    }
    ++m_size;
}

std::chrono::system_clock::time_point ScanStore::wall(long long i) const
{
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(block(i).wallNs[slot(i)])));
}

acquisition::Scan ScanStore::scan(long long i) const
{
    acquisition::Scan s;
    s.seq = firstSeq() + i;
    s.elapsedNs = elapsedNs(i);
    s.wall = wall(i);
    s.topChannel = topChannel(i);
    s.digital = digital(i);
    for (int ch = 0; ch <= s.topChannel; ++ch) {
        s.counts[ch] = count(i, ch);
        s.millivolts[ch] = millivolts(i, ch);
    }
    if (s.digital) {
        for (int l = 0; l < acquisition::kDigitalLines; ++l)
            s.lines[l] = line(i, l);
    }
    return s;
}

bool ScanStore::valid(long long i, int series) const
{
    if (series < kAnalogSeries)
        return series <= topChannel(i);
    return digital(i);
}

long long ScanStore::lowerBound(qint64 ns) const
{
    long long lo = 0;
    long long hi = m_size;
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (elapsedNs(mid) < ns)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

} // namespace scope
