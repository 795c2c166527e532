#pragma once

// Every scan of a run, kept in memory in blocks of a fixed number of scans,
// one array per field, so that a series can be read straight through when
// the chart is drawn. Past the bound the oldest block goes as a whole.
//
// Per scan: the time since the start and the wall clock (8 bytes each), the
// count and the millivolts of each of the 7 channels (2 bytes each), one byte
// for the digital lines and one for which channels and lines are valid, and
// each series' figures over groups of 32 scans and over groups of 512:
// 50.06 bytes, and nothing else grows with the run.

#include "link/Scan.h"

#include <QtGlobal>
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace scope {

// Series 0..6 are the analog channels (millivolts), 7..9 the digital lines 3..5.
inline constexpr int kAnalogSeries = acquisition::kChannels;
inline constexpr int kSeries = kAnalogSeries + acquisition::kDigitalLines;
// The module's number of the digital line that series s (kAnalogSeries and up) holds.
inline constexpr int lineOfSeries(int s) { return acquisition::kFirstDigitalLine + s - kAnalogSeries; }

class ScanStore {
public:
    static constexpr int kBlockScans = 16384;
    // Each series' minimum, maximum and sum over every 32 scans, kept as the
    // scans come, so that drawing a long stretch reads 32 times fewer values.
    static constexpr int kGroupScans = 32;
    static constexpr int kGroups = kBlockScans / kGroupScans;
    struct Group {
        std::uint16_t min;
        std::uint16_t max;
        std::uint8_t minAt;   // scan of the minimum within the group
        std::uint8_t maxAt;
        std::uint8_t n;       // scans with a value for the series
        std::uint32_t sum;
    };
    // The same over 512 scans (16 groups), so that a day drawn whole reads
    // about as many figures as an hour: a pixel column of a day is some 1800
    // scans. Filled as each group of 32 completes.
    static constexpr int kBigGroupScans = 512;
    static constexpr int kBigGroups = kBlockScans / kBigGroupScans;
    struct BigGroup {
        std::uint16_t min;
        std::uint16_t max;
        std::uint16_t minAt;   // scan of the minimum within the group
        std::uint16_t maxAt;
        std::uint16_t n;
        std::uint32_t sum;
    };
    static constexpr std::size_t kBytesPerScan = 2 * sizeof(qint64) + 2 * acquisition::kChannels * sizeof(std::uint16_t) + 2 +
                                                 kSeries * sizeof(Group) / kGroupScans + kSeries * sizeof(BigGroup) / kBigGroupScans;
    // 24 h at Max Speed with channels 0 to 6 and the digital lines is about
    // 3.6 million scans at 9600 baud; this bound holds 5 million (about 240 MB).
    static constexpr long long kDefaultMaxScans = 5'000'000;

    explicit ScanStore(long long maxScans = kDefaultMaxScans);

    void clear();
    void append(const acquisition::Scan& scan);

    long long size() const { return m_size; }
    long long maxScans() const { return m_maxScans; }
    // Scans dropped from the front since the run started.
    long long dropped() const { return m_dropped; }
    // Sequence number of the first kept scan (1 before any was dropped).
    long long firstSeq() const { return m_firstSeq + m_dropped; }
    // Bytes held by the blocks.
    std::size_t bytesHeld() const { return m_blocks.size() * sizeof(Block); }
    // Times the store was emptied: with size() and dropped(), a reader that
    // kept something of the scans tells whether they are still the same.
    long long clears() const { return m_clears; }

    // Index i runs over the kept scans, 0 the oldest.
    qint64 elapsedNs(long long i) const { return block(i).elapsedNs[slot(i)]; }
    double seconds(long long i) const { return static_cast<double>(elapsedNs(i)) * 1e-9; }
    std::chrono::system_clock::time_point wall(long long i) const;
    int topChannel(long long i) const { return block(i).flags[slot(i)] & 0x07; }
    bool digital(long long i) const { return (block(i).flags[slot(i)] & 0x08) != 0; }
    int count(long long i, int channel) const { return block(i).counts[channel][slot(i)]; }
    int millivolts(long long i, int channel) const { return block(i).millivolts[channel][slot(i)]; }
    int line(long long i, int which) const { return (block(i).lines[slot(i)] >> which) & 1; }
    // The scan as it was given (its miss count is not kept).
    acquisition::Scan scan(long long i) const;

    // Whether series s has a value at scan i, and that value.
    bool valid(long long i, int series) const;
    int value(long long i, int series) const
    {
        return series < kAnalogSeries ? millivolts(i, series) : line(i, series - kAnalogSeries);
    }

    // The first index whose time is at or after ns (size() when none).
    long long lowerBound(qint64 ns) const;

    // Within a block the fields are arrays, for a reader going straight through.
    struct Block {
        std::array<qint64, kBlockScans> elapsedNs;
        std::array<qint64, kBlockScans> wallNs;
        std::array<std::array<std::uint16_t, kBlockScans>, acquisition::kChannels> counts;
        std::array<std::array<std::uint16_t, kBlockScans>, acquisition::kChannels> millivolts;
        std::array<std::uint8_t, kBlockScans> lines;
        std::array<std::uint8_t, kBlockScans> flags;   // bits 0-2 top channel, bit 3 digital
        std::array<std::array<Group, kGroups>, kSeries> groups;
        std::array<std::array<BigGroup, kBigGroups>, kSeries> bigGroups;
    };
    // The group that holds index i (groups start at multiples of kGroupScans).
    const Group& group(long long i, int series) const
    {
        return block(i).groups[static_cast<std::size_t>(series)][static_cast<std::size_t>(slot(i) / kGroupScans)];
    }
    // The group of 512 that holds index i; whole only once its last scan is in.
    const BigGroup& bigGroup(long long i, int series) const
    {
        return block(i).bigGroups[static_cast<std::size_t>(series)][static_cast<std::size_t>(slot(i) / kBigGroupScans)];
    }
    // The block and slot of index i.
    // Whole blocks go, so index 0 is always slot 0 of the first block.
    const Block& block(long long i) const { return *m_blocks[static_cast<std::size_t>(i / kBlockScans)]; }
    static int slot(long long i) { return static_cast<int>(i % kBlockScans); }

private:
    std::deque<std::unique_ptr<Block>> m_blocks;
    long long m_size = 0;
    long long m_maxScans;
    long long m_dropped = 0;
    long long m_firstSeq = 1;
    long long m_clears = 0;
};

} // namespace scope
