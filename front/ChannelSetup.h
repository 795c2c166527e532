#pragma once

// What the readings mean at a bench: for each analog input 0..6 a name, a
// unit and a linear scale (value = gain x millivolts + offset), entered as
// gain and offset or found from two known points; for each digital line 3..5
// a name and the words for 0 and 1. Kept in a small JSON file (see the
// README, "The channel setup file"):
//
//   {
//     "format": 1,
//     "inputs": [ {"input": 2, "name": "boiler", "unit": "°C", "gain": 0.05, "offset": -20}, ... ],
//     "lines":  [ {"line": 4, "name": "door", "low": "closed", "high": "open"}, ... ]
//   }
//
// An input may carry "calibration": [{"mv": 400, "value": 0}, {"mv": 2400, "value": 100}]
// instead of gain and offset (or beside them, when they agree). Inputs and
// lines left out keep the defaults. Keys this version does not know are kept
// and written back when the setup is saved again. A file that is not valid
// is refused whole, with its line and the reason; nothing of it is applied.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>

namespace front {

inline constexpr int kSetupFormat = 1;       // the "format" this version writes and reads
inline constexpr int kSetupInputs = 7;       // analog inputs 0..6
inline constexpr int kSetupFirstLine = 3;    // digital lines 3, 4 and 5
inline constexpr int kSetupLines = 3;
// The module's input range, mV: a calibration point is a reading in it.
inline constexpr int kSetupLowestMv = 0;
inline constexpr int kSetupHighestMv = 5000;
// Longest texts, in characters, so that a name fits a chart's legend and a column.
inline constexpr int kSetupNameLength = 40;
inline constexpr int kSetupUnitLength = 16;
inline constexpr int kSetupWordLength = 16;
// A setup file is a few kilobytes; anything far larger is not one.
inline constexpr qint64 kSetupFileBytes = 1 << 20;

// A value about to be shown with this many decimals, with what would show as
// "-0.00" made 0.
double withoutNegativeZero(double value, int decimals);

struct CalibrationPoint {
    double millivolts = 0;   // the input's reading at a known condition
    double value = 0;        // the true value there, in the input's unit
};

struct InputSetup {
    QString name;
    QString unit;
    double gain = 1;     // unit per mV
    double offset = 0;   // unit
    // The two points gain and offset were found from, when they were.
    std::optional<std::array<CalibrationPoint, 2>> calibration;
    QJsonObject unknown;   // keys kept for a later version

    double value(double millivolts) const { return gain * millivolts + offset; }
};

struct LineSetup {
    QString name;
    QString low;    // the word for 0
    QString high;   // the word for 1
    QJsonObject unknown;

    const QString& word(int level) const { return level ? high : low; }
};

struct Scale {
    double gain = 1;
    double offset = 0;
};

struct SetupRead;

class ChannelSetup {
public:
    // The defaults: ch0..ch6 in mV, gain 1, offset 0; din3..din5 with 0 and 1.
    ChannelSetup();

    static SetupRead fromJson(const QByteArray& text);
    static SetupRead load(const QString& path);
    QByteArray toJson() const;
    // The setup as the file holds it, for a message that carries it.
    QJsonObject toJsonObject() const;
    // Empty when written, else why not.
    QString save(const QString& path) const;

    // n: 0..6 for inputs, 3..5 for lines; others are refused by the checks
    // of the callers, and answered with the defaults here.
    const InputSetup& input(int n) const;
    const LineSetup& line(int n) const;
    // Empty when taken, else why not (nothing changes then).
    QString setInput(int n, const InputSetup& input);
    QString setLine(int n, const LineSetup& line);

    // The gain and offset through two points, or why there are none.
    static std::optional<Scale> scaleThrough(const CalibrationPoint& a, const CalibrationPoint& b, QString* why = nullptr);
    // What is wrong with an input's or a line's settings; empty when nothing.
    static QString inputProblem(const InputSetup& input);
    static QString lineProblem(const LineSetup& line);

    double value(int n, double millivolts) const { return input(n).value(millivolts); }
    // Decimals that show one millivolt's step of input n: 0 for gain 1,
    // 2 for 0.05, 3 for 0.001.
    int decimals(int n) const;
    // "21.35 °C", and without the unit "21.35"
    QString valueText(int n, double millivolts) const;
    QString numberText(int n, double millivolts) const;
    // Whether every input and line is as the defaults have it.
    bool isDefault() const;

    friend bool operator==(const ChannelSetup& a, const ChannelSetup& b);

private:
    std::array<InputSetup, kSetupInputs> m_inputs;
    std::array<LineSetup, kSetupLines> m_lines;
    QJsonObject m_unknown;
};

// What reading a setup gave: the setup, or where and why not.
struct SetupRead {
    std::optional<ChannelSetup> setup;
    int line = 0;        // 1-based line of the problem, 0 when it has none
    QString reason;
    // "line 7: inputs[1].gain: must be a number other than 0"
    QString message() const;
};

bool operator==(const InputSetup& a, const InputSetup& b);
bool operator==(const LineSetup& a, const LineSetup& b);

// The file a setup goes beside a recording in: run.csv -> run.csv.setup.json.
QString setupSidecarPath(const QString& recording);

} // namespace front
