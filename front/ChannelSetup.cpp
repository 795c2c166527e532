#include "front/ChannelSetup.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStringList>
#include <cmath>
#include <map>

namespace front {

namespace {

const QString kFormat = QStringLiteral("format");
const QString kInputs = QStringLiteral("inputs");
const QString kLines = QStringLiteral("lines");
const QString kInput = QStringLiteral("input");
const QString kLine = QStringLiteral("line");
const QString kName = QStringLiteral("name");
const QString kUnit = QStringLiteral("unit");
const QString kGain = QStringLiteral("gain");
const QString kOffset = QStringLiteral("offset");
const QString kCalibration = QStringLiteral("calibration");
const QString kMv = QStringLiteral("mv");
const QString kValue = QStringLiteral("value");
const QString kLow = QStringLiteral("low");
const QString kHigh = QStringLiteral("high");

// Gain and offset beside a calibration agree with it within this share.
constexpr double kAgreement = 1e-9;

// The line of each member and element of a JSON text that is known to be
// valid, by its path ("inputs[1].gain"), so that a problem found in the
// parsed document can be pointed at in the file.
class KeyLines {
public:
    explicit KeyLines(const QByteArray& text)
        : m_text(text)
    {
        skipSpace();
        value(QString());
    }
    int line(const QString& path) const
    {
        // The path itself, or the nearest enclosing one that is in the file.
        QString p = path;
        while (!p.isEmpty()) {
            const auto it = m_lines.find(p);
            if (it != m_lines.end())
                return it->second;
            const qsizetype cut = std::max(p.lastIndexOf(u'.'), p.lastIndexOf(u'['));
            p.truncate(cut < 0 ? 0 : cut);
        }
        return 1;
    }

private:
    char peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }
    void skipSpace()
    {
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '\n')
                ++m_line;
            else if (c != ' ' && c != '\t' && c != '\r')
                return;
            ++m_at;
        }
    }
    QString string()
    {
        const qsizetype start = ++m_at;   // past the opening quote
        while (m_at < m_text.size() && m_text[m_at] != '"')
            m_at += m_text[m_at] == '\\' ? 2 : 1;
        const QByteArray raw = m_text.mid(start, m_at - start);
        ++m_at;
        // Keys with escapes are rare; their unescaped form comes from the parser.
        const QJsonDocument d = QJsonDocument::fromJson("[\"" + raw + "\"]");
        return d.array().at(0).toString();
    }
    void value(const QString& path)
    {
        m_lines.emplace(path, m_line);
        const char c = peek();
        if (c == '{') {
            ++m_at;
            skipSpace();
            while (peek() == '"') {
                const int keyLine = m_line;
                const QString key = string();
                const QString member = path.isEmpty() ? key : path + u'.' + key;
                skipSpace();
                ++m_at;   // ':'
                skipSpace();
                value(member);
                m_lines[member] = keyLine;
                skipSpace();
                if (peek() == ',') {
                    ++m_at;
                    skipSpace();
                }
            }
            ++m_at;   // '}'
        } else if (c == '[') {
            ++m_at;
            skipSpace();
            for (int i = 0; peek() != ']' && m_at < m_text.size(); ++i) {
                value(QStringLiteral("%1[%2]").arg(path).arg(i));
                skipSpace();
                if (peek() == ',') {
                    ++m_at;
                    skipSpace();
                }
            }
            ++m_at;
        } else if (c == '"') {
            (void)string();
        } else {
            while (m_at < m_text.size() && !QByteArrayView(",]} \t\r\n").contains(m_text[m_at]))
                ++m_at;
        }
    }

    const QByteArray& m_text;
    qsizetype m_at = 0;
    int m_line = 1;
    std::map<QString, int> m_lines;
};

// A problem found in the parsed document: where (a path) and why.
struct Problem {
    QString path;
    QString reason;
};

bool hasControl(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

QString textProblem(const QString& what, const QString& text, int shortest, int longest)
{
    if (text.size() < shortest || text.size() > longest) {
        return shortest > 0 ? QStringLiteral("%1 must be %2 to %3 characters").arg(what).arg(shortest).arg(longest)
                            : QStringLiteral("%1 must be at most %2 characters").arg(what).arg(longest);
    }
    if (hasControl(text))
        return QStringLiteral("%1 must not hold control characters").arg(what);
    return {};
}

bool isWhole(const QJsonValue& v)
{
    return v.isDouble() && std::isfinite(v.toDouble()) && v.toDouble() == std::floor(v.toDouble());
}

// A finite number member, or a problem; absent members leave value as it is.
std::optional<Problem> number(const QJsonObject& o, const QString& key, const QString& path, double& value)
{
    if (!o.contains(key))
        return std::nullopt;
    const QJsonValue v = o.value(key);
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        return Problem{path + u'.' + key, QStringLiteral("must be a number")};
    value = v.toDouble();
    return std::nullopt;
}

std::optional<Problem> text(const QJsonObject& o, const QString& key, const QString& path, QString& value)
{
    if (!o.contains(key))
        return std::nullopt;
    const QJsonValue v = o.value(key);
    if (!v.isString())
        return Problem{path + u'.' + key, QStringLiteral("must be a text in quotes")};
    value = v.toString();
    return std::nullopt;
}

QJsonObject without(QJsonObject o, const QStringList& known)
{
    for (const QString& k : known)
        o.remove(k);
    return o;
}

bool close(double a, double b)
{
    return std::fabs(a - b) <= kAgreement * std::max({1.0, std::fabs(a), std::fabs(b)});
}

std::optional<Problem> readInput(const QJsonObject& o, const QString& path, InputSetup& in)
{
    if (auto p = text(o, kName, path, in.name))
        return p;
    if (auto p = text(o, kUnit, path, in.unit))
        return p;
    const bool scaleGiven = o.contains(kGain) || o.contains(kOffset);
    if (auto p = number(o, kGain, path, in.gain))
        return p;
    if (auto p = number(o, kOffset, path, in.offset))
        return p;
    if (o.contains(kCalibration)) {
        const QString at = path + u'.' + kCalibration;
        const QJsonArray points = o.value(kCalibration).toArray();
        if (!o.value(kCalibration).isArray() || points.size() != 2)
            return Problem{at, QStringLiteral("must be two points: [{\"mv\": ..., \"value\": ...}, {...}]")};
        std::array<CalibrationPoint, 2> pair;
        for (int i = 0; i < 2; ++i) {
            const QString pointAt = QStringLiteral("%1[%2]").arg(at).arg(i);
            const QJsonObject point = points.at(i).toObject();
            if (!points.at(i).isObject() || !point.contains(kMv) || !point.contains(kValue))
                return Problem{pointAt, QStringLiteral("must have \"mv\" and \"value\"")};
            if (auto p = number(point, kMv, pointAt, pair[i].millivolts))
                return p;
            if (auto p = number(point, kValue, pointAt, pair[i].value))
                return p;
        }
        QString why;
        const std::optional<Scale> scale = ChannelSetup::scaleThrough(pair[0], pair[1], &why);
        if (!scale)
            return Problem{at, why};
        if (scaleGiven && (!close(scale->gain, in.gain) || !close(scale->offset, in.offset))) {
            return Problem{at, QStringLiteral("gives gain %1 and offset %2, not the gain and offset given")
                                   .arg(scale->gain, 0, 'g', 10)
                                   .arg(scale->offset, 0, 'g', 10)};
        }
        in.gain = scale->gain;
        in.offset = scale->offset;
        in.calibration = pair;
    }
    if (QString why = ChannelSetup::inputProblem(in); !why.isEmpty())
        return Problem{path, why};
    in.unknown = without(o, {kInput, kName, kUnit, kGain, kOffset, kCalibration});
    return std::nullopt;
}

std::optional<Problem> readLine(const QJsonObject& o, const QString& path, LineSetup& line)
{
    if (auto p = text(o, kName, path, line.name))
        return p;
    if (auto p = text(o, kLow, path, line.low))
        return p;
    if (auto p = text(o, kHigh, path, line.high))
        return p;
    if (QString why = ChannelSetup::lineProblem(line); !why.isEmpty())
        return Problem{path, why};
    line.unknown = without(o, {kLine, kName, kLow, kHigh});
    return std::nullopt;
}

// The entries of "inputs" or "lines", each numbered by its own key.
template <typename Entry, std::size_t N, typename Read>
std::optional<Problem> readEntries(const QJsonObject& root, const QString& listKey, const QString& numberKey, int first,
                                   std::array<Entry, N>& entries, Read read)
{
    constexpr int count = static_cast<int>(N);
    if (!root.contains(listKey))
        return std::nullopt;
    if (!root.value(listKey).isArray())
        return Problem{listKey, QStringLiteral("must be a list: [ {...}, ... ]")};
    const QJsonArray list = root.value(listKey).toArray();
    std::array<bool, N> seen{};
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString path = QStringLiteral("%1[%2]").arg(listKey).arg(i);
        if (!list.at(i).isObject())
            return Problem{path, QStringLiteral("must be an object: {\"%1\": N, ...}").arg(numberKey)};
        const QJsonObject o = list.at(i).toObject();
        const QJsonValue n = o.value(numberKey);
        if (!isWhole(n) || n.toDouble() < first || n.toDouble() >= first + count) {
            return Problem{o.contains(numberKey) ? path + u'.' + numberKey : path,
                           QStringLiteral("\"%1\" must be %2 to %3").arg(numberKey).arg(first).arg(first + count - 1)};
        }
        const int index = n.toInt() - first;
        if (seen[static_cast<std::size_t>(index)])
            return Problem{path + u'.' + numberKey, QStringLiteral("%1 %2 is set twice").arg(numberKey).arg(n.toInt())};
        seen[static_cast<std::size_t>(index)] = true;
        Entry& entry = entries[static_cast<std::size_t>(index)];
        Entry candidate = entry;
        if (auto p = read(o, path, candidate))
            return p;
        entry = candidate;
    }
    return std::nullopt;
}

int lineOfOffset(const QByteArray& text, int offset)
{
    const qsizetype end = std::clamp<qsizetype>(offset, 0, text.size());
    return static_cast<int>(QByteArrayView(text.constData(), end).count('\n')) + 1;
}

InputSetup defaultInput(int n)
{
    InputSetup in;
    in.name = QStringLiteral("ch%1").arg(n);
    in.unit = QStringLiteral("mV");
    return in;
}

LineSetup defaultLine(int n)
{
    LineSetup l;
    l.name = QStringLiteral("din%1").arg(n);
    l.low = QStringLiteral("0");
    l.high = QStringLiteral("1");
    return l;
}

} // namespace

QString SetupRead::message() const
{
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(reason) : reason;
}

ChannelSetup::ChannelSetup()
{
    for (int n = 0; n < kSetupInputs; ++n)
        m_inputs[static_cast<std::size_t>(n)] = defaultInput(n);
    for (int i = 0; i < kSetupLines; ++i)
        m_lines[static_cast<std::size_t>(i)] = defaultLine(kSetupFirstLine + i);
}

SetupRead ChannelSetup::fromJson(const QByteArray& text)
{
    SetupRead out;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        out.line = lineOfOffset(text, error.offset);
        out.reason = QStringLiteral("not valid JSON: %1").arg(error.errorString());
        return out;
    }
    if (!doc.isObject()) {
        out.line = 1;
        out.reason = QStringLiteral("a setup is a JSON object: { \"format\": %1, ... }").arg(kSetupFormat);
        return out;
    }
    const QJsonObject root = doc.object();
    ChannelSetup setup;
    std::optional<Problem> problem;
    const QJsonValue format = root.value(kFormat);
    if (!root.contains(kFormat))
        problem = Problem{QString(), QStringLiteral("\"format\" is missing: is this a channel setup?")};
    else if (!isWhole(format) || format.toDouble() < 1)
        problem = Problem{kFormat, QStringLiteral("\"format\" must be a whole number from 1")};
    else if (format.toDouble() > kSetupFormat)
        problem = Problem{kFormat, QStringLiteral("format %1 is newer than this program reads (%2)")
                                       .arg(format.toDouble(), 0, 'f', 0)
                                       .arg(kSetupFormat)};
    if (!problem) {
        problem = readEntries(root, kInputs, kInput, 0, setup.m_inputs, readInput);
    }
    if (!problem) {
        problem = readEntries(root, kLines, kLine, kSetupFirstLine, setup.m_lines, readLine);
    }
    if (problem) {
        out.line = problem->path.isEmpty() ? 1 : KeyLines(text).line(problem->path);
        out.reason = problem->path.isEmpty() ? problem->reason : problem->path + QStringLiteral(": ") + problem->reason;
        return out;
    }
    setup.m_unknown = without(root, {kFormat, kInputs, kLines});
    out.setup = std::move(setup);
    return out;
}

SetupRead ChannelSetup::load(const QString& path)
{
    SetupRead out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        out.reason = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return out;
    }
    if (f.size() > kSetupFileBytes) {
        out.reason = QStringLiteral("%1 is too large for a channel setup (%2 bytes)").arg(path).arg(f.size());
        return out;
    }
    out = fromJson(f.read(kSetupFileBytes + 1));
    return out;
}

QJsonObject ChannelSetup::toJsonObject() const
{
    QJsonObject root = m_unknown;
    root.insert(kFormat, kSetupFormat);
    QJsonArray inputs;
    for (int n = 0; n < kSetupInputs; ++n) {
        const InputSetup& in = m_inputs[static_cast<std::size_t>(n)];
        QJsonObject o = in.unknown;
        o.insert(kInput, n);
        o.insert(kName, in.name);
        o.insert(kUnit, in.unit);
        o.insert(kGain, in.gain);
        o.insert(kOffset, in.offset);
        if (in.calibration) {
            QJsonArray points;
            for (const CalibrationPoint& p : *in.calibration)
                points.append(QJsonObject{{kMv, p.millivolts}, {kValue, p.value}});
            o.insert(kCalibration, points);
        }
        inputs.append(o);
    }
    root.insert(kInputs, inputs);
    QJsonArray lines;
    for (int i = 0; i < kSetupLines; ++i) {
        const LineSetup& l = m_lines[static_cast<std::size_t>(i)];
        QJsonObject o = l.unknown;
        o.insert(kLine, kSetupFirstLine + i);
        o.insert(kName, l.name);
        o.insert(kLow, l.low);
        o.insert(kHigh, l.high);
        lines.append(o);
    }
    root.insert(kLines, lines);
    return root;
}

QByteArray ChannelSetup::toJson() const
{
    return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Indented);
}

QString ChannelSetup::save(const QString& path) const
{
    // Written whole or not at all: a reader never finds half a setup.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    const QByteArray text = toJson();
    if (f.write(text) != text.size() || !f.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    return {};
}

const InputSetup& ChannelSetup::input(int n) const
{
    static const InputSetup fallback = defaultInput(0);
    return n >= 0 && n < kSetupInputs ? m_inputs[static_cast<std::size_t>(n)] : fallback;
}

const LineSetup& ChannelSetup::line(int n) const
{
    static const LineSetup fallback = defaultLine(kSetupFirstLine);
    const int i = n - kSetupFirstLine;
    return i >= 0 && i < kSetupLines ? m_lines[static_cast<std::size_t>(i)] : fallback;
}

QString ChannelSetup::setInput(int n, const InputSetup& input)
{
    if (n < 0 || n >= kSetupInputs)
        return QStringLiteral("no input %1: inputs are 0 to %2").arg(n).arg(kSetupInputs - 1);
    if (QString why = inputProblem(input); !why.isEmpty())
        return why;
    m_inputs[static_cast<std::size_t>(n)] = input;
    return {};
}

QString ChannelSetup::setLine(int n, const LineSetup& line)
{
    const int i = n - kSetupFirstLine;
    if (i < 0 || i >= kSetupLines)
        return QStringLiteral("no line %1: lines are %2 to %3").arg(n).arg(kSetupFirstLine).arg(kSetupFirstLine + kSetupLines - 1);
    if (QString why = lineProblem(line); !why.isEmpty())
        return why;
    m_lines[static_cast<std::size_t>(i)] = line;
    return {};
}

std::optional<Scale> ChannelSetup::scaleThrough(const CalibrationPoint& a, const CalibrationPoint& b, QString* why)
{
    const auto refuse = [&](const QString& reason) -> std::optional<Scale> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    for (const CalibrationPoint& p : {a, b}) {
        if (!std::isfinite(p.millivolts) || !std::isfinite(p.value))
            return refuse(QStringLiteral("a calibration point must be two numbers"));
        if (p.millivolts < kSetupLowestMv || p.millivolts > kSetupHighestMv)
            return refuse(QStringLiteral("a reading of %1 mV is outside the input's %2 to %3 mV")
                              .arg(p.millivolts)
                              .arg(kSetupLowestMv)
                              .arg(kSetupHighestMv));
    }
    if (a.millivolts == b.millivolts)
        return refuse(QStringLiteral("the two readings are both %1 mV: they must differ").arg(a.millivolts));
    if (a.value == b.value)
        return refuse(QStringLiteral("the two true values are both %1: they must differ").arg(a.value));
    Scale s;
    s.gain = (b.value - a.value) / (b.millivolts - a.millivolts);
    s.offset = a.value - s.gain * a.millivolts;
    return s;
}

QString ChannelSetup::inputProblem(const InputSetup& in)
{
    if (QString why = textProblem(QStringLiteral("the name"), in.name, 1, kSetupNameLength); !why.isEmpty())
        return why;
    if (QString why = textProblem(QStringLiteral("the unit"), in.unit, 0, kSetupUnitLength); !why.isEmpty())
        return why;
    if (!std::isfinite(in.gain) || in.gain == 0)
        return QStringLiteral("the gain must be a number other than 0");
    if (!std::isfinite(in.offset))
        return QStringLiteral("the offset must be a number");
    return {};
}

QString ChannelSetup::lineProblem(const LineSetup& l)
{
    if (QString why = textProblem(QStringLiteral("the name"), l.name, 1, kSetupNameLength); !why.isEmpty())
        return why;
    if (QString why = textProblem(QStringLiteral("the word for 0"), l.low, 1, kSetupWordLength); !why.isEmpty())
        return why;
    if (QString why = textProblem(QStringLiteral("the word for 1"), l.high, 1, kSetupWordLength); !why.isEmpty())
        return why;
    if (l.low == l.high)
        return QStringLiteral("the words for 0 and 1 are both '%1': they must differ").arg(l.low);
    return {};
}

int ChannelSetup::decimals(int n) const
{
    const double step = std::fabs(input(n).gain);
    // A little under the power of ten counts as it: 0.1 takes 1 decimal, not 2.
    const double d = std::ceil(-std::log10(step) - 1e-9);
    return static_cast<int>(std::clamp(d, 0.0, 9.0));
}

double withoutNegativeZero(double value, int decimals)
{
    return std::fabs(value) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : value;
}

QString ChannelSetup::numberText(int n, double millivolts) const
{
    const int d = decimals(n);
    return QString::number(withoutNegativeZero(input(n).value(millivolts), d), 'f', d);
}

QString ChannelSetup::valueText(int n, double millivolts) const
{
    const QString& unit = input(n).unit;
    const QString number = numberText(n, millivolts);
    return unit.isEmpty() ? number : number + u' ' + unit;
}

bool ChannelSetup::isDefault() const
{
    return *this == ChannelSetup();
}

bool operator==(const InputSetup& a, const InputSetup& b)
{
    const auto sameCalibration = [](const auto& x, const auto& y) {
        if (x.has_value() != y.has_value())
            return false;
        if (!x)
            return true;
        for (std::size_t i = 0; i < 2; ++i) {
            if ((*x)[i].millivolts != (*y)[i].millivolts || (*x)[i].value != (*y)[i].value)
                return false;
        }
        return true;
    };
    return a.name == b.name && a.unit == b.unit && a.gain == b.gain && a.offset == b.offset
        && sameCalibration(a.calibration, b.calibration) && a.unknown == b.unknown;
}

bool operator==(const LineSetup& a, const LineSetup& b)
{
    return a.name == b.name && a.low == b.low && a.high == b.high && a.unknown == b.unknown;
}

bool operator==(const ChannelSetup& a, const ChannelSetup& b)
{
    return a.m_inputs == b.m_inputs && a.m_lines == b.m_lines && a.m_unknown == b.m_unknown;
}

QString setupSidecarPath(const QString& recording)
{
    return recording + QStringLiteral(".setup.json");
}

} // namespace front
