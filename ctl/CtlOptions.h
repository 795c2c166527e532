#pragma once

// zoltctl's command line: the subcommand, the port to use and each
// subcommand's settings, checked before anything touches a port.

#include <QString>
#include <QStringList>
#include <optional>

namespace zoltctl {

enum class Command { Ports, Read, Sample, Dac, Dout, Din };
enum class Format { Csv, Jsonl };

// Pauses between sampling cycles, in ms, as the main window offers them.
inline constexpr int kMaxSpeedMs = 1;
inline constexpr int kHalfSecondMs = 500;
inline constexpr int kOneSecondMs = 1000;
inline constexpr int kTenSecondsMs = 10000;
inline constexpr int kLongestPauseMs = 3600 * 1000;   // an hour; anything longer is a typing slip

struct Options {
    Command command = Command::Read;

    // Where the module is. port 0 with no device: choose as ZOLTrc does.
    int port = 0;
    QString device;
    int baud = 9600;
    bool simulate = false;
    bool presenceCheck = true;

    bool json = false;                 // ports
    int topChannel = 6;                // read, sample: channels 0..topChannel
    bool digital = false;              // read, sample: lines 3 to 5 as well
    int intervalMs = kHalfSecondMs;    // sample: pause between cycles
    long long count = 0;               // sample: rows, 0 for no limit
    double durationS = 0;              // sample: seconds, 0 for no limit
    Format format = Format::Csv;
    QString output;                    // sample: file, empty for standard output
    bool exitOnLoss = false;           // sample: a lost port ends the run
    int dacChannel = 0;                // dac
    int dacMillivolts = 0;             // dac
    bool doutHigh = false;             // dout
};

struct ParsedLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Error;
    Options options;
    QString error;      // one line, without the program name
    QString helpText;   // for Help
};

// args[0] is the program name, as in QCoreApplication::arguments().
ParsedLine parseCommandLine(const QStringList& args);

// "max", "0.5s", "1s", "10s" or whole milliseconds.
std::optional<int> parseInterval(const QString& text);
// "COM3", "com3" or "3": 1..16.
std::optional<int> parseComPort(const QString& text);

} // namespace zoltctl
