#pragma once

// One complete measurement of the module, as the acquisition cycle hands it
// on: the analog channels 0..topChannel of one read, and the digital lines of
// the read that followed it when those are sampled. Front ends (the main
// window, zoltctl, the chart, the network publisher) only read these.

#include "link/Protocol.h"

#include <QtGlobal>
#include <array>
#include <chrono>

namespace acquisition {

// The digital lines a scan carries: 3, 4 and 5 (the output line 3 read back,
// and the two inputs beside it).
inline constexpr int kFirstDigitalLine = 3;
inline constexpr int kDigitalLines = 3;
inline constexpr int kChannels = protocol::kMaxAnalogChannel + 1;

struct Scan {
    long long seq = 0;   // 1 for the first scan of a run, then one more each
    // Nanoseconds since the run started, on the monotonic clock: the gap left
    // by a lost port shows here.
    qint64 elapsedNs = 0;
    std::chrono::system_clock::time_point wall{};
    int topChannel = 0;                       // channels 0..topChannel are valid
    std::array<int, kChannels> counts{};      // 0..4095
    std::array<int, kChannels> millivolts{};  // 0..5000
    bool digital = false;                     // lines are valid
    std::array<int, kDigitalLines> lines{};   // lines 3, 4, 5: 0 or 1
    long long missedReplies = 0;              // since the run started
};

} // namespace acquisition
