#pragma once

// One sampling row as CSV or as a JSON line, written into a buffer the
// formatter keeps, so that a long run allocates nothing per row.
//
// Columns: time (ISO 8601, UTC, milliseconds), seconds since the start, then
// chN_count and chN_mv for each channel 0..N, then din3, din4 and din5 when the
// digital lines are sampled. JSON lines use the same names as keys.

#include "ctl/CtlOptions.h"
#include "link/Protocol.h"

#include <QByteArray>
#include <array>
#include <chrono>
#include <cstddef>
#include <string_view>

namespace zoltctl {

inline constexpr int kFirstLine = 3;   // digital lines sampled: 3, 4 and 5
inline constexpr int kLines = 3;

struct Reading {
    std::array<int, protocol::kMaxAnalogChannel + 1> counts{};
    std::array<int, protocol::kMaxAnalogChannel + 1> millivolts{};
    std::array<int, kLines> lines{};   // lines 3, 4, 5: 0 or 1
};

// Text built in place; what does not fit is cut off and noted, never written past.
class LineBuffer {
public:
    void clear() { m_size = 0; m_overflow = false; }
    void put(std::string_view text);
    void put(char c);
    // Decimal, at least minDigits digits with leading zeros.
    void putNumber(long long value, int minDigits = 1);
    std::string_view view() const { return {m_data.data(), m_size}; }
    bool overflowed() const { return m_overflow; }

private:
    std::array<char, 1024> m_data{};
    std::size_t m_size = 0;
    bool m_overflow = false;
};

class RowFormat {
public:
    RowFormat(Format format, int topChannel, bool digital);

    // The CSV header line, or nothing for JSON lines.
    QByteArray header() const;
    // One row with its line ending; valid until the next call.
    std::string_view row(const Reading& reading, std::chrono::system_clock::time_point wall, long long elapsedUs);

    // 2026-12-08T11:02:14.123Z
    static void putTime(LineBuffer& out, std::chrono::system_clock::time_point wall);
    // Seconds with three decimals: 12.345
    static void putSeconds(LineBuffer& out, long long elapsedUs);

private:
    void field(std::string_view name, long long value);   // after the first field

    Format m_format;
    int m_topChannel;
    bool m_digital;
    LineBuffer m_out;
};

} // namespace zoltctl
