#include "front/RowFormat.h"

#include <charconv>

namespace front {

std::optional<Format> parseFormat(const QString& word)
{
    if (word == QLatin1String("csv"))
        return Format::Csv;
    if (word == QLatin1String("jsonl"))
        return Format::Jsonl;
    return std::nullopt;
}

namespace {

// Column names, so that a row needs no text built for it.
constexpr std::array<std::string_view, protocol::kMaxAnalogChannel + 1> kCountNames{
    "ch0_count", "ch1_count", "ch2_count", "ch3_count", "ch4_count", "ch5_count", "ch6_count"};
constexpr std::array<std::string_view, protocol::kMaxAnalogChannel + 1> kMillivoltNames{
    "ch0_mv", "ch1_mv", "ch2_mv", "ch3_mv", "ch4_mv", "ch5_mv", "ch6_mv"};
constexpr std::array<std::string_view, protocol::kMaxAnalogChannel + 1> kValueNames{
    "ch0_value", "ch1_value", "ch2_value", "ch3_value", "ch4_value", "ch5_value", "ch6_value"};
constexpr std::array<std::string_view, kLines> kLineNames{"din3", "din4", "din5"};
static_assert(front::kSetupInputs == acquisition::kChannels && front::kSetupFirstLine == kFirstLine
              && front::kSetupLines == kLines);

constexpr long long kUsPerSecond = 1'000'000;
constexpr long long kUsPerMs = 1'000;

} // namespace

void LineBuffer::put(std::string_view text)
{
    const std::size_t room = m_data.size() - m_size;
    const std::size_t n = text.size() <= room ? text.size() : room;
    if (n < text.size())
        m_overflow = true;
    text.copy(m_data.data() + m_size, n);
    m_size += n;
}

void LineBuffer::put(char c)
{
    put(std::string_view(&c, 1));
}

void LineBuffer::putNumber(long long value, int minDigits)
{
    std::array<char, 24> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc()) {
        m_overflow = true;
        return;
    }
    const std::ptrdiff_t length = end - digits.data();
    for (std::ptrdiff_t pad = minDigits - length; pad > 0; --pad)
        put('0');
    put(std::string_view(digits.data(), static_cast<std::size_t>(length)));
}

void LineBuffer::putFixed(double value, int decimals)
{
    std::array<char, 64> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(),
                                            front::withoutNegativeZero(value, decimals),
                                            std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        m_overflow = true;
        return;
    }
    put(std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())));
}

RowFormat::RowFormat(Format format, int topChannel, bool digital, const front::ChannelSetup* setup)
    : m_format(format)
    , m_topChannel(topChannel)
    , m_digital(digital)
    , m_scaled(setup != nullptr)
{
    if (setup) {
        for (int ch = 0; ch < acquisition::kChannels; ++ch) {
            m_scales[ch] = {setup->input(ch).gain, setup->input(ch).offset};
            m_decimals[ch] = setup->decimals(ch);
        }
    }
}

QByteArray RowFormat::header() const
{
    if (m_format != Format::Csv)
        return {};
    QByteArray line("time,seconds");
    for (int ch = 0; ch <= m_topChannel; ++ch) {
        line += ',';
        line += QByteArray(kCountNames[ch].data(), static_cast<qsizetype>(kCountNames[ch].size()));
        line += ',';
        line += QByteArray(kMillivoltNames[ch].data(), static_cast<qsizetype>(kMillivoltNames[ch].size()));
    }
    if (m_digital) {
        for (std::string_view name : kLineNames) {
            line += ',';
            line += QByteArray(name.data(), static_cast<qsizetype>(name.size()));
        }
    }
    for (int ch = 0; m_scaled && ch <= m_topChannel; ++ch) {
        line += ',';
        line += QByteArray(kValueNames[ch].data(), static_cast<qsizetype>(kValueNames[ch].size()));
    }
    line += '\n';
    return line;
}

void RowFormat::putTime(LineBuffer& out, std::chrono::system_clock::time_point wall)
{
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(wall);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss time{ms - day};
    out.putNumber(static_cast<int>(date.year()), 4);
    out.put('-');
    out.putNumber(static_cast<unsigned>(date.month()), 2);
    out.put('-');
    out.putNumber(static_cast<unsigned>(date.day()), 2);
    out.put('T');
    out.putNumber(time.hours().count(), 2);
    out.put(':');
    out.putNumber(time.minutes().count(), 2);
    out.put(':');
    out.putNumber(time.seconds().count(), 2);
    out.put('.');
    out.putNumber(time.subseconds().count(), 3);
    out.put('Z');
}

void RowFormat::putSeconds(LineBuffer& out, long long elapsedUs)
{
    const long long us = elapsedUs < 0 ? 0 : elapsedUs;
    out.putNumber(us / kUsPerSecond);
    out.put('.');
    out.putNumber((us % kUsPerSecond) / kUsPerMs, 3);
}

void RowFormat::field(bool csv, std::string_view name, long long value)
{
    if (csv) {
        m_out.put(',');
    } else {
        m_out.put(",\"");
        m_out.put(name);
        m_out.put("\":");
    }
    m_out.putNumber(value);
}

void RowFormat::put(const acquisition::Scan& scan, bool csv, bool withSeq)
{
    m_out.clear();
    if (!csv && withSeq) {
        m_out.put("{\"seq\":");
        m_out.putNumber(scan.seq);
        m_out.put(",\"time\":\"");
    } else {
        m_out.put(csv ? "" : "{\"time\":\"");
    }
    putTime(m_out, scan.wall);
    m_out.put(csv ? "," : "\",\"seconds\":");
    putSeconds(m_out, scan.elapsedNs / 1000);
    for (int ch = 0; ch <= m_topChannel; ++ch) {
        field(csv, kCountNames[ch], scan.counts[ch]);
        field(csv, kMillivoltNames[ch], scan.millivolts[ch]);
    }
    if (m_digital) {
        for (int i = 0; i < kLines; ++i)
            field(csv, kLineNames[i], scan.lines[i]);
    }
    for (int ch = 0; m_scaled && ch <= m_topChannel; ++ch) {
        if (csv) {
            m_out.put(',');
        } else {
            m_out.put(",\"");
            m_out.put(kValueNames[ch]);
            m_out.put("\":");
        }
        const front::Scale& s = m_scales[ch];
        m_out.putFixed(s.gain * scan.millivolts[ch] + s.offset, m_decimals[ch]);
    }
    if (!csv)
        m_out.put('}');
}

std::string_view RowFormat::row(const acquisition::Scan& scan)
{
    put(scan, m_format == Format::Csv, false);
    m_out.put('\n');
    return m_out.view();
}

std::string_view RowFormat::json(const acquisition::Scan& scan, bool withSeq)
{
    put(scan, false, withSeq);
    return m_out.view();
}

} // namespace front
