#include "front/RowParser.h"

#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstring>

namespace front {

namespace {

using Field = RowParser::Field;
constexpr int kChannels = acquisition::kChannels;
constexpr int kLines = acquisition::kDigitalLines;

// "ch3_mv" -> Mv0 + 3, "din4" -> Line0 + 1; Ignored for anything else.
Field fieldOf(std::string_view name)
{
    if (name == "time")
        return Field::Time;
    if (name == "seconds")
        return Field::Seconds;
    if (name.size() == 4 && name.substr(0, 3) == "din" && name[3] >= '3' && name[3] < '3' + kLines)
        return static_cast<Field>(Field::Line0 + (name[3] - '3'));
    if (name.size() >= 5 && name.substr(0, 2) == "ch" && name[2] >= '0' && name[2] < '0' + kChannels && name[3] == '_') {
        const int ch = name[2] - '0';
        const std::string_view rest = name.substr(4);
        if (rest == "mv")
            return static_cast<Field>(Field::Mv0 + ch);
        if (rest == "count")
            return static_cast<Field>(Field::Count0 + ch);
    }
    return Field::Ignored;
}

QString fieldName(int f)
{
    if (f == Field::Time)
        return QStringLiteral("time");
    if (f == Field::Seconds)
        return QStringLiteral("seconds");
    if (f < Field::Mv0)
        return QStringLiteral("ch%1_count").arg(f - Field::Count0);
    if (f < Field::Line0)
        return QStringLiteral("ch%1_mv").arg(f - Field::Mv0);
    return QStringLiteral("din%1").arg(acquisition::kFirstDigitalLine + f - Field::Line0);
}

// A field's text as a message shows it: cut, and bytes that are no text escaped.
QString shown(std::string_view value)
{
    constexpr std::size_t kShown = 24;
    QString text;
    for (char c : value.substr(0, kShown)) {
        const auto u = static_cast<unsigned char>(c);
        text += u >= 0x20 && u < 0x7F ? QString(QChar(u)) : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    if (value.size() > kShown)
        text += QStringLiteral("...");
    return text;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whole digits only, at most 9 of them.
bool parseUnsigned(std::string_view t, long long& value)
{
    if (t.empty() || t.size() > 9)
        return false;
    long long v = 0;
    for (char c : t) {
        if (!isDigit(c))
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// Seconds as RowFormat writes them, "12.345", to ns; up to nine decimals.
bool parseSeconds(std::string_view t, qint64& ns)
{
    const std::size_t dot = t.find('.');
    long long whole = 0;
    if (!parseUnsigned(t.substr(0, dot), whole))
        return false;
    qint64 frac = 0;
    if (dot != std::string_view::npos) {
        const std::string_view f = t.substr(dot + 1);
        if (f.empty() || f.size() > 9)
            return false;
        qint64 scale = 100'000'000;
        for (char c : f) {
            if (!isDigit(c))
                return false;
            frac += (c - '0') * scale;
            scale /= 10;
        }
    }
    ns = whole * 1'000'000'000LL + frac;
    return true;
}

int digits(const char* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (!isDigit(p[i]))
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2200;

// 2026-12-08T11:02:14.123Z (UTC; the fraction 1 to 9 digits or none).
bool parseTime(std::string_view t, std::chrono::system_clock::time_point& wall)
{
    using namespace std::chrono;
    if (t.size() < 20 || t.back() != 'Z' || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':')
        return false;
    const char* p = t.data();
    const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
    const int h = digits(p + 11, 2), mi = digits(p + 14, 2), s = digits(p + 17, 2);
    // The clock keeps nanoseconds in 64 bits: years 1678 to 2261. Ours are near now.
    if (y < kFirstYear || y > kLastYear || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 60)
        return false;
    const year_month_day date{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
    if (!date.ok())
        return false;
    qint64 frac = 0;
    const std::string_view rest = t.substr(19, t.size() - 20);
    if (!rest.empty()) {
        if (rest[0] != '.' || rest.size() < 2 || rest.size() > 10)
            return false;
        qint64 scale = 100'000'000;
        for (char c : rest.substr(1)) {
            if (!isDigit(c))
                return false;
            frac += (c - '0') * scale;
            scale /= 10;
        }
    }
    const auto tp = sys_days(date) + hours(h) + minutes(mi) + seconds(s) + nanoseconds(frac);
    wall = time_point_cast<system_clock::duration>(tp);
    return true;
}

} // namespace

void RowParser::problem(const QString& what)
{
    ++m_problemCount;
    if (m_problems.size() < kKeptProblems)
        m_problems.push_back({m_line, what});
}

QString RowParser::problemText() const
{
    QStringList parts;
    if (!m_refusal.isEmpty())
        parts << m_refusal;
    for (const RowProblem& p : m_problems)
        parts << QStringLiteral("line %1: %2").arg(p.line).arg(p.what);
    if (m_problemCount > static_cast<long long>(m_problems.size()))
        parts << QStringLiteral("and %1 more").arg(m_problemCount - static_cast<long long>(m_problems.size()));
    return parts.join(QStringLiteral("; "));
}

void RowParser::feed(std::string_view data, std::vector<acquisition::Scan>& out)
{
    while (!data.empty() && m_refusal.isEmpty()) {
        const void* found = std::memchr(data.data(), '\n', data.size());
        if (!found) {
            // A line's start: held for the next feed, up to the longest line taken.
            if (!m_skipping && m_held.size() + data.size() > kMaxLine) {
                ++m_line;
                if (!m_started)
                    m_refusal = QStringLiteral("not a recording: its first line is longer than %1 bytes").arg(kMaxLine);
                else
                    problem(QStringLiteral("longer than %1 bytes, skipped").arg(kMaxLine));
                m_skipping = true;
                m_held.clear();
            } else if (!m_skipping) {
                m_held.append(data);
            }
            return;
        }
        const auto n = static_cast<std::size_t>(static_cast<const char*>(found) - data.data());
        const std::string_view piece = data.substr(0, n);
        data.remove_prefix(n + 1);
        if (m_skipping) {
            m_skipping = false;   // the end of the line found too long
            continue;
        }
        if (m_held.empty() && piece.size() <= kMaxLine) {
            line(piece, out);
        } else if (m_held.size() + piece.size() <= kMaxLine) {
            m_held.append(piece);
            line(m_held, out);
            m_held.clear();
        } else {
            ++m_line;
            if (!m_started)
                m_refusal = QStringLiteral("not a recording: its first line is longer than %1 bytes").arg(kMaxLine);
            else
                problem(QStringLiteral("longer than %1 bytes, skipped").arg(kMaxLine));
            m_held.clear();
        }
    }
}

void RowParser::finish()
{
    if (!m_refusal.isEmpty())
        return;
    if (!m_held.empty()) {
        // Not taken even when it reads whole: a file being written may only
        // have got this far.
        ++m_line;
        if (m_started || start(m_held))
            problem(QStringLiteral("cut short: the last line has no end"));
        m_held.clear();
    }
    m_skipping = false;
    if (m_line == 0)
        m_refusal = QStringLiteral("the file is empty");
}

void RowParser::line(std::string_view text, std::vector<acquisition::Scan>& out)
{
    ++m_line;
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    if (text.empty())
        return;   // a blank line holds nothing
    if (!m_started) {
        if (!start(text) || m_csv)
            return;   // a CSV header is no row; a JSON first line is
    }
    acquisition::Scan scan;
    scan.topChannel = m_topChannel;
    scan.digital = m_digital;
    const bool ok = m_csv ? csvRow(text, scan) : jsonRow(text, scan);
    if (!ok)
        return;
    scan.seq = ++m_rows;
    out.push_back(scan);
}

bool RowParser::setLayout(const std::vector<Field>& fields, QString& why)
{
    std::uint32_t present = 0;
    for (Field f : fields) {
        if (f == Field::Ignored)
            continue;
        if (present & (1u << f)) {
            why = QStringLiteral("%1 comes twice").arg(fieldName(f));
            return false;
        }
        present |= 1u << f;
    }
    if (!(present & (1u << Field::Time)) || !(present & (1u << Field::Seconds)) || !(present & (1u << Field::Mv0))) {
        why = QStringLiteral("no time, seconds and ch0_mv");
        return false;
    }
    int top = 0;
    while (top + 1 < kChannels && (present & (1u << (Field::Mv0 + top + 1))))
        ++top;
    for (int ch = top + 1; ch < kChannels; ++ch) {
        if (present & ((1u << (Field::Mv0 + ch)) | (1u << (Field::Count0 + ch)))) {
            why = QStringLiteral("channel %1 without channel %2").arg(ch).arg(top + 1);
            return false;
        }
    }
    const std::uint32_t lineBits = ((1u << kLines) - 1) << Field::Line0;
    if ((present & lineBits) != 0 && (present & lineBits) != lineBits) {
        why = QStringLiteral("some digital lines but not all three");
        return false;
    }
    m_topChannel = top;
    m_digital = (present & lineBits) != 0;
    m_needed = present;
    return true;
}

bool RowParser::start(std::string_view text)
{
    QString why;
    std::vector<Field> fields;
    if (!text.empty() && text.front() == '{') {
        m_csv = false;
        const bool object = jsonFields(text, [&](Field f, std::string_view, bool) {
            fields.push_back(f);
            return true;
        });
        if (object && setLayout(fields, why)) {
            m_started = true;
            return true;
        }
        if (!object) {
            // Said once, as the refusal below, not also as a row's problem.
            why = m_problems.empty() ? QStringLiteral("not a JSON object") : m_problems.back().what;
            m_problems.clear();
            m_problemCount = 0;
        }
    } else {
        m_csv = true;
        std::size_t at = 0;
        while (true) {
            const std::size_t comma = text.find(',', at);
            fields.push_back(fieldOf(text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at)));
            if (comma == std::string_view::npos)
                break;
            at = comma + 1;
        }
        if (setLayout(fields, why)) {
            m_columns = std::move(fields);
            m_started = true;
            return true;
        }
    }
    m_refusal = QStringLiteral("not a recording of zoltctl or ZOLT Scope: line %1 is neither its CSV header nor a JSON row (%2): %3")
                    .arg(m_line)
                    .arg(why, shown(text));
    return false;
}

bool RowParser::set(Field field, std::string_view value, bool quoted, acquisition::Scan& scan)
{
    bool ok = false;
    if (field == Field::Time) {
        ok = parseTime(value, scan.wall);
    } else if (quoted) {
        ok = false;
    } else if (field == Field::Seconds) {
        ok = parseSeconds(value, scan.elapsedNs);
    } else {
        long long v = 0;
        ok = parseUnsigned(value, v);
        if (ok && field >= Field::Line0) {
            ok = v <= 1;
            scan.lines[static_cast<std::size_t>(field - Field::Line0)] = static_cast<int>(v);
        } else if (ok && field >= Field::Mv0) {
            ok = v <= 65535;
            scan.millivolts[static_cast<std::size_t>(field - Field::Mv0)] = static_cast<int>(v);
        } else if (ok) {
            ok = v <= 65535;
            scan.counts[static_cast<std::size_t>(field - Field::Count0)] = static_cast<int>(v);
        }
    }
    if (!ok)
        problem(QStringLiteral("%1 is \"%2\", not a %3").arg(fieldName(field), shown(value),
                                                         field == Field::Time ? QStringLiteral("time") : QStringLiteral("number")));
    return ok;
}

bool RowParser::csvRow(std::string_view text, acquisition::Scan& scan)
{
    // The count first: a row cut or run together says so, not what its first
    // misplaced field fails on.
    const std::size_t columns = m_columns.size();
    const auto fields = static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1;
    if (fields != columns) {
        problem(QStringLiteral("%1 fields where the header has %2").arg(fields).arg(columns));
        return false;
    }
    const char* p = text.data();
    const char* const end = p + text.size();
    for (Field field : m_columns) {
        const char* comma = static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(end - p)));
        const char* fieldEnd = comma ? comma : end;
        if (field != Field::Ignored && !set(field, std::string_view(p, static_cast<std::size_t>(fieldEnd - p)), false, scan))
            return false;
        p = comma ? comma + 1 : end;
    }
    return true;
}

template <typename Take>
bool RowParser::jsonFields(std::string_view text, Take take)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    const auto blank = [&] {
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
    };
    // A string's contents, p on its opening quote; escapes are passed over.
    const auto string = [&](std::string_view& s) {
        const char* from = ++p;
        while (p < end && *p != '"')
            p += *p == '\\' ? 2 : 1;
        if (p >= end)
            return false;
        s = std::string_view(from, static_cast<std::size_t>(p - from));
        ++p;
        return true;
    };
    const auto bad = [&](const char* why) {
        problem(QStringLiteral("not a JSON row (%1 at byte %2)").arg(QLatin1String(why)).arg(p - text.data() + 1));
        return false;
    };
    blank();
    if (p >= end || *p != '{')
        return bad("no {");
    ++p;
    blank();
    if (p < end && *p == '}')
        ++p;
    else {
        while (true) {
            blank();
            std::string_view key;
            if (p >= end || *p != '"' || !string(key))
                return bad("no key");
            blank();
            if (p >= end || *p != ':')
                return bad("no :");
            ++p;
            blank();
            std::string_view value;
            bool quoted = false;
            if (p < end && *p == '"') {
                quoted = true;
                if (!string(value))
                    return bad("unended string");
            } else {
                const char* from = p;
                while (p < end && *p != ',' && *p != '}' && *p != ' ' && *p != '\t')
                    ++p;
                value = std::string_view(from, static_cast<std::size_t>(p - from));
                if (value.empty())
                    return bad("no value");
            }
            if (!take(fieldOf(key), value, quoted))
                return false;
            blank();
            if (p < end && *p == ',') {
                ++p;
                continue;
            }
            if (p < end && *p == '}') {
                ++p;
                break;
            }
            return bad("no , or }");
        }
    }
    blank();
    if (p != end)
        return bad("text after }");
    return true;
}

bool RowParser::jsonRow(std::string_view text, acquisition::Scan& scan)
{
    std::uint32_t seen = 0;
    const bool ok = jsonFields(text, [&](Field f, std::string_view value, bool quoted) {
        if (f == Field::Ignored)
            return true;
        seen |= 1u << f;
        return set(f, value, quoted, scan);
    });
    if (!ok)
        return false;
    if ((seen & m_needed) != m_needed) {
        for (int f = 0; f < Field::kFields; ++f) {
            if ((m_needed & ~seen) & (1u << f)) {
                problem(QStringLiteral("no %1").arg(fieldName(f)));
                break;
            }
        }
        return false;
    }
    return true;
}

} // namespace front
