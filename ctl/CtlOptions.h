#pragma once

// The settings of zoltctl's sample, as its command reads them.

#include <QString>
#include <QStringList>
#include <optional>

namespace zoltctl {

enum class Format { Csv, Jsonl };

// Pauses between sampling cycles, in ms, as the main window offers them.
inline constexpr int kMaxSpeedMs = 1;
inline constexpr int kHalfSecondMs = 500;
inline constexpr int kOneSecondMs = 1000;
inline constexpr int kTenSecondsMs = 10000;
inline constexpr int kLongestPauseMs = 3600 * 1000;   // an hour; anything longer is a typing slip

struct Options {
    int topChannel = 6;                // read, sample: channels 0..topChannel
    bool digital = false;              // read, sample: lines 3 to 5 as well
    int intervalMs = kHalfSecondMs;    // sample: pause between cycles
    long long count = 0;               // sample: rows, 0 for no limit
    double durationS = 0;              // sample: seconds, 0 for no limit
    Format format = Format::Csv;
    QString output;                    // sample: file, empty for standard output
    int dacChannel = 0;                // dac
    int dacMillivolts = 0;             // dac
    bool doutHigh = false;             // dout
};

// "max", "0.5s", "1s", "10s" or whole milliseconds.
std::optional<int> parseInterval(const QString& text);

} // namespace zoltctl
