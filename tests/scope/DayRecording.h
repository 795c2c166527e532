#pragma once

// A day-long recording as zoltctl writes it, for the benchmark and the
// screenshots: CSV rows of channels 0 to 6 and the digital lines.

#include "front/RowFormat.h"
#include "tests/scope/RandomScans.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cmath>

namespace scopetest {

// 24 h at Max Speed, channels 0 to 6 and the lines, in rows (3.3 million: a
// scan every 26 ms); the file's size, or -1 when it could not be written. The
// signals move slowly with noise and now and then a one-scan spike.
inline qint64 writeDay(const QString& path, long long rows)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    front::RowFormat format(front::Format::Csv, 6, true);
    f.write(format.header());
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 20);
    const qint64 step = 86'400'000'000'000LL / rows;
    QByteArray buffer;
    for (long long i = 0; i < rows; ++i) {
        acquisition::Scan s = scopetest::randomScan(i + 1, i * step, rng, 6, true);
        for (int ch = 0; ch < acquisition::kChannels; ++ch) {
            double mv = 2500 + 2000 * std::sin(static_cast<double>(i) * 2e-6 * (ch + 1)) + noise(rng);
            if (rng() % 50000 == 0)
                mv = 4990;
            s.millivolts[ch] = std::clamp(static_cast<int>(mv), 0, 5000);
            s.counts[ch] = static_cast<int>(s.millivolts[ch] / protocol::kMillivoltsPerCount);
        }
        for (int l = 0; l < acquisition::kDigitalLines; ++l)
            s.lines[l] = static_cast<int>((i / (2000 * (l + 1))) % 2);
        const std::string_view row = format.row(s);
        buffer.append(row.data(), static_cast<qsizetype>(row.size()));
        if (buffer.size() > (4 << 20)) {
            f.write(buffer);
            buffer.clear();
        }
    }
    f.write(buffer);
    return f.size();
}

} // namespace scopetest
