#pragma once

// What the chart draws of a stretch of the run: for each pixel column, the
// scans that fall in it reduced to their minimum and their maximum (in the
// order they came), so that a spike one scan wide still shows however many
// scans share the column. A column with one scan keeps it as it is. Columns
// of 256 scans or more start on a group's edge (32 scans), so that they are
// read from the store's figures alone: a scan near an edge may then count in
// the column beside its own, its point still at its own time. One scan
// on each side of the stretch is kept too, so that the lines reach the edges.
//
// The same pass gathers each series' minimum, maximum, mean and last value
// over the scans inside the stretch.

#include "scope/ScanStore.h"

#include <QtGlobal>
#include <array>
#include <vector>

namespace scope {

struct Point {
    double key;     // seconds (plus the key offset)
    double value;   // millivolts, or 0 and 1 for a digital line
};

struct SeriesStats {
    long long n = 0;
    int min = 0;
    int max = 0;
    double mean = 0;
    int last = 0;
};

struct Reduction {
    std::array<std::vector<Point>, kSeries> points;
    std::array<SeriesStats, kSeries> stats;
    long long scansInView = 0;
    long long firstInView = 0;   // index of the first scan inside the stretch

    // Working space kept from one pass to the next: where each column starts.
    std::vector<long long> bounds;
};

// The stretch from fromNs to toNs (times since the start) drawn over columns
// pixel columns; keyOffset is added to every key (the clock's seconds at the
// run's start, when the axis shows the clock). series says which to reduce.
void reduce(const ScanStore& store, qint64 fromNs, qint64 toNs, int columns, double keyOffset,
            const std::array<bool, kSeries>& series, Reduction& out);

// A view's reduction, kept while another pass would give the same: the same
// stretch, columns, key offset and series, and the same scans in it (the
// store neither emptied nor shortened at the front, and any scans added
// since came after the one just past the stretch). A repaint that moves
// nothing then draws what is kept; a day reduced whole costs some 6 ms.
class KeptReduction {
public:
    // Reduces when the kept reduction would differ; true when it did.
    bool update(const ScanStore& store, qint64 fromNs, qint64 toNs, int columns, double keyOffset,
                const std::array<bool, kSeries>& series);
    const Reduction& reduction() const { return m_reduction; }
    // The columns of the kept reduction.
    int columns() const { return m_columns; }
    // Passes made so far.
    long long passes() const { return m_passes; }
    // Off: every update reduces afresh (to measure what keeping saves).
    void setKeeping(bool on) { m_keeping = on; }

private:
    bool stillHolds(const ScanStore& store, qint64 fromNs, qint64 toNs, int columns, double keyOffset,
                    const std::array<bool, kSeries>& series) const;

    Reduction m_reduction;
    bool m_kept = false;
    bool m_keeping = true;
    long long m_passes = 0;
    // What the kept reduction was made of.
    qint64 m_fromNs = 0;
    qint64 m_toNs = 0;
    int m_columns = 0;
    double m_keyOffset = 0;
    std::array<bool, kSeries> m_series{};
    long long m_size = 0;
    long long m_dropped = 0;
    long long m_clears = 0;
};

} // namespace scope
