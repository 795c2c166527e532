#pragma once

// One scan as a CSV row or as a JSON object, written into a buffer the
// formatter keeps, so that a long run allocates nothing per row. Every program
// that writes scans out as text uses this one.
//
// Columns: time (ISO 8601, UTC, milliseconds), seconds since the start, then
// chN_count and chN_mv for each channel 0..N, then din3, din4 and din5 when the
// digital lines are sampled, then, with a channel setup, chN_value (the scaled
// value, to the decimals of one millivolt's step) for each channel: after all
// the others, so that readers of the columns before see nothing new. JSON uses
// the same names as keys, and "seq" (the scan's number in its run) first when
// asked for.

#include "front/ChannelSetup.h"
#include "link/Scan.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>

namespace front {

enum class Format { Csv, Jsonl };

// "csv" or "jsonl"; nothing for any other word.
std::optional<Format> parseFormat(const QString& word);

inline constexpr int kFirstLine = acquisition::kFirstDigitalLine;   // digital lines sampled: 3, 4 and 5
inline constexpr int kLines = acquisition::kDigitalLines;

// Text built in place; what does not fit is cut off and noted, never written past.
class LineBuffer {
public:
    void clear() { m_size = 0; m_overflow = false; }
    void put(std::string_view text);
    void put(char c);
    // Decimal, at least minDigits digits with leading zeros.
    void putNumber(long long value, int minDigits = 1);
    // Fixed-point with this many decimals; never "-0.00".
    void putFixed(double value, int decimals);
    std::string_view view() const { return {m_data.data(), m_size}; }
    bool overflowed() const { return m_overflow; }

private:
    std::array<char, 1024> m_data{};
    std::size_t m_size = 0;
    bool m_overflow = false;
};

class RowFormat {
public:
    // setup: adds the scaled values; none, or nullptr, for the columns alone.
    RowFormat(Format format, int topChannel, bool digital, const front::ChannelSetup* setup = nullptr);

    // The CSV header line, or nothing for JSON lines.
    QByteArray header() const;
    // One row in the format asked for, with its line ending; valid until the
    // next call. The columns are those of the header, whatever the scan holds.
    std::string_view row(const acquisition::Scan& scan);
    // The scan as one JSON object, without a line ending, whatever the format;
    // valid until the next call.
    std::string_view json(const acquisition::Scan& scan, bool withSeq);

    // 2026-12-08T11:02:14.123Z
    static void putTime(LineBuffer& out, std::chrono::system_clock::time_point wall);
    // Seconds with three decimals: 12.345
    static void putSeconds(LineBuffer& out, long long elapsedUs);

private:
    void put(const acquisition::Scan& scan, bool csv, bool withSeq);
    void field(bool csv, std::string_view name, long long value);   // after the first field

    Format m_format;
    int m_topChannel;
    bool m_digital;
    bool m_scaled = false;
    // Each channel's scale, taken from the setup once.
    std::array<front::Scale, acquisition::kChannels> m_scales{};
    std::array<int, acquisition::kChannels> m_decimals{};
    LineBuffer m_out;
};

} // namespace front
