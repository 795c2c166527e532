#pragma once

// Scans with random counts, for the scope's tests and its benchmark.

#include "link/Protocol.h"
#include "link/Scan.h"

#include <chrono>
#include <random>

namespace scopetest {

inline acquisition::Scan randomScan(long long seq, qint64 ns, std::mt19937& rng, int top, bool digital)
{
    acquisition::Scan s;
    s.seq = seq;
    s.elapsedNs = ns;
    s.wall = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'000'000'000LL)) +
             std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(ns));
    s.topChannel = top;
    std::uniform_int_distribution<int> count(0, 4095);
    for (int ch = 0; ch <= top; ++ch) {
        s.counts[ch] = count(rng);
        s.millivolts[ch] = protocol::countToMillivolts(s.counts[ch]);
    }
    s.digital = digital;
    for (int l = 0; digital && l < acquisition::kDigitalLines; ++l)
        s.lines[l] = static_cast<int>(rng() & 1u);
    return s;
}

} // namespace scopetest
