#include "ctl/CtlOptions.h"

#include "link/BaudOptions.h"
#include "link/Protocol.h"
#include "link/SerialControl.h"

#include <QCommandLineParser>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace zoltctl {

namespace {

struct CommandName {
    const char* name;
    Command command;
    int arguments;   // positional arguments after the name
};

constexpr std::array kCommands{
    CommandName{"ports", Command::Ports, 0},
    CommandName{"read", Command::Read, 0},
    CommandName{"sample", Command::Sample, 0},
    CommandName{"dac", Command::Dac, 2},
    CommandName{"dout", Command::Dout, 1},
    CommandName{"din", Command::Din, 0},
};

constexpr int bit(Command c) { return 1 << static_cast<int>(c); }
constexpr int kAll = bit(Command::Ports) | bit(Command::Read) | bit(Command::Sample) | bit(Command::Dac)
    | bit(Command::Dout) | bit(Command::Din);
constexpr int kOnAPort = kAll & ~bit(Command::Ports);
constexpr int kReadings = bit(Command::Read) | bit(Command::Sample);

// Every option with the subcommands it belongs to; using one elsewhere is a
// mistake worth saying so, not something to ignore.
struct OptionEntry {
    const char* name;
    const char* valueName;   // nullptr for a switch
    const char* description;
    int commands;
};

constexpr std::array kOptionEntrys{
    OptionEntry{"port", "COMn", "The module's COM port, COM1 to COM16 (default: as ZOLTrc chooses).", kOnAPort},
    OptionEntry{"device", "path", "The module's serial device, instead of a COM port.", kOnAPort},
    OptionEntry{"baud", "rate", "2400, 4800 or 9600 (default 9600).", kOnAPort},
    OptionEntry{"simulate", nullptr, "Use a simulated module on COM2, with the serial line's timing.", kAll},
    OptionEntry{"no-presence-check", nullptr, "Do not require DSR and CTS to be held (a pseudo-terminal has neither).",
               kOnAPort},
    OptionEntry{"json", nullptr, "ports: print JSON.", bit(Command::Ports)},
    OptionEntry{"channels", "N", "read, sample: channels 0 to N, N = 0..6 (default 6).", kReadings},
    OptionEntry{"digital", nullptr, "read, sample: digital lines 3 to 5 as well.", kReadings},
    OptionEntry{"interval", "pause", "sample: pause between cycles: max, 0.5s, 1s, 10s or milliseconds (default 0.5s).",
               bit(Command::Sample)},
    OptionEntry{"count", "N", "sample: stop after N rows.", bit(Command::Sample)},
    OptionEntry{"duration", "seconds", "sample: stop after this many seconds.", bit(Command::Sample)},
    OptionEntry{"format", "csv|jsonl", "sample: output format (default csv).", bit(Command::Sample)},
    OptionEntry{"output", "file", "sample: write rows to this file instead of standard output.", bit(Command::Sample)},
    OptionEntry{"exit-on-loss", nullptr, "sample: end with status 3 when the port is lost, instead of waiting for it.",
               bit(Command::Sample)},
};

struct NamedPause {
    const char* text;
    int ms;
};
constexpr std::array kNamedPauses{
    NamedPause{"max", kMaxSpeedMs},
    NamedPause{"0.5s", kHalfSecondMs},
    NamedPause{"1s", kOneSecondMs},
    NamedPause{"10s", kTenSecondsMs},
};

const char kDescription[] =
    "Drives a 232ZOLT module from scripts.\n"
    "\n"
    "Commands:\n"
    "  ports                  COM1 to COM16: device, whether it opens, DSR and CTS\n"
    "  read                   one reading of channels 0 to N: counts and millivolts\n"
    "  sample                 continuous sampling to CSV or JSON lines, until\n"
    "                         --count, --duration, Ctrl-C or SIGTERM\n"
    "  dac CHANNEL MILLIVOLTS set analog output 0..3 to 0..4300 mV\n"
    "  dout on|off            set the digital output, then read the lines back\n"
    "  din                    read digital lines 3 to 5";

const char kExitStatuses[] =
    "\nExit status:\n"
    "  0  done\n"
    "  2  bad usage\n"
    "  3  no such port, port in use, not permitted, or lost while open\n"
    "  4  no module: DSR and CTS not both held\n"
    "  5  a reply never came\n"
    "  6  the output file cannot be written\n";

ParsedLine failure(const QString& message)
{
    ParsedLine parsed;
    parsed.action = ParsedLine::Action::Error;
    parsed.error = message;
    return parsed;
}

std::optional<int> wholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> parseInterval(const QString& text)
{
    for (const NamedPause& pause : kNamedPauses) {
        if (text.compare(QLatin1String(pause.text), Qt::CaseInsensitive) == 0)
            return pause.ms;
    }
    const auto ms = wholeNumber(text);
    if (!ms || *ms < 0 || *ms > kLongestPauseMs)
        return std::nullopt;
    return ms;
}

std::optional<int> parseComPort(const QString& text)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3);
    const auto port = wholeNumber(digits);
    if (!port || *port < SerialControl::kMinPort || *port > SerialControl::kMaxPort)
        return std::nullopt;
    return port;
}

ParsedLine parseCommandLine(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    std::vector<QCommandLineOption> options;
    options.reserve(kOptionEntrys.size());
    for (const OptionEntry& entry : kOptionEntrys) {
        options.push_back(entry.valueName
            ? QCommandLineOption(QLatin1String(entry.name), QLatin1String(entry.description),
                                 QLatin1String(entry.valueName))
            : QCommandLineOption(QLatin1String(entry.name), QLatin1String(entry.description)));
        parser.addOption(options.back());
    }
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("ports, read, sample, dac, dout or din."));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's arguments."),
                                 QStringLiteral("[arguments...]"));

    if (!parser.parse(args))
        return failure(parser.errorText());
    if (parser.isSet(help)) {
        ParsedLine parsed;
        parsed.action = ParsedLine::Action::Help;
        parsed.helpText = parser.helpText() + QLatin1String(kExitStatuses);
        return parsed;
    }
    if (parser.isSet(version)) {
        ParsedLine parsed;
        parsed.action = ParsedLine::Action::Version;
        return parsed;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return failure(QStringLiteral("no command given (ports, read, sample, dac, dout or din)"));
    const CommandName* chosen = nullptr;
    for (const CommandName& c : kCommands) {
        if (positional.first() == QLatin1String(c.name))
            chosen = &c;
    }
    if (!chosen)
        return failure(QStringLiteral("unknown command '%1'").arg(positional.first()));
    if (positional.size() - 1 != chosen->arguments) {
        return failure(QStringLiteral("%1 takes %2 argument(s), not %3")
                           .arg(QLatin1String(chosen->name))
                           .arg(chosen->arguments)
                           .arg(positional.size() - 1));
    }

    Options o;
    o.command = chosen->command;
    for (std::size_t i = 0; i < kOptionEntrys.size(); ++i) {
        if (parser.isSet(options[i]) && !(kOptionEntrys[i].commands & bit(o.command))) {
            return failure(QStringLiteral("--%1 does not apply to %2")
                               .arg(QLatin1String(kOptionEntrys[i].name), QLatin1String(chosen->name)));
        }
    }
    const auto value = [&](const char* name) { return parser.value(QLatin1String(name)); };
    const auto isSet = [&](const char* name) { return parser.isSet(QLatin1String(name)); };

    o.simulate = isSet("simulate");
    o.presenceCheck = !isSet("no-presence-check");
    o.json = isSet("json");
    o.digital = isSet("digital");
    o.exitOnLoss = isSet("exit-on-loss");
    if (isSet("port") && isSet("device"))
        return failure(QStringLiteral("give --port or --device, not both"));
    if (o.simulate && isSet("device"))
        return failure(QStringLiteral("--simulate has no device; use --port to pick a COM port"));
    if (isSet("port")) {
        const auto port = parseComPort(value("port"));
        if (!port)
            return failure(QStringLiteral("--port must be COM1 to COM16, not '%1'").arg(value("port")));
        o.port = *port;
    }
    if (isSet("device")) {
        o.device = value("device");
        if (o.device.isEmpty())
            return failure(QStringLiteral("--device needs a path"));
    }
    if (isSet("baud")) {
        const auto baud = wholeNumber(value("baud"));
        const bool offered = baud && std::any_of(kBaudOptions.begin(), kBaudOptions.end(), [&](const BaudOption& b) {
            return QString::number(*baud) == QLatin1String(b.caption);
        });
        if (!offered)
            return failure(QStringLiteral("--baud must be 2400, 4800 or 9600, not '%1'").arg(value("baud")));
        o.baud = *baud;
    }
    if (isSet("channels")) {
        const auto top = wholeNumber(value("channels"));
        if (!top || *top < 0 || *top > protocol::kMaxAnalogChannel)
            return failure(QStringLiteral("--channels must be 0 to 6, not '%1'").arg(value("channels")));
        o.topChannel = *top;
    }
    if (isSet("interval")) {
        const auto pause = parseInterval(value("interval"));
        if (!pause) {
            return failure(QStringLiteral("--interval must be max, 0.5s, 1s, 10s or 0 to %1 ms, not '%2'")
                               .arg(kLongestPauseMs)
                               .arg(value("interval")));
        }
        o.intervalMs = *pause;
    }
    if (isSet("count")) {
        bool ok = false;
        o.count = value("count").toLongLong(&ok);
        if (!ok || o.count < 1)
            return failure(QStringLiteral("--count must be a whole number of at least 1, not '%1'").arg(value("count")));
    }
    if (isSet("duration")) {
        bool ok = false;
        o.durationS = value("duration").toDouble(&ok);
        if (!ok || !std::isfinite(o.durationS) || o.durationS <= 0 || o.durationS > 1e9)
            return failure(QStringLiteral("--duration must be a positive number of seconds, not '%1'")
                               .arg(value("duration")));
    }
    if (isSet("format")) {
        if (value("format") == QLatin1String("csv"))
            o.format = Format::Csv;
        else if (value("format") == QLatin1String("jsonl"))
            o.format = Format::Jsonl;
        else
            return failure(QStringLiteral("--format must be csv or jsonl, not '%1'").arg(value("format")));
    }
    if (isSet("output")) {
        o.output = value("output");
        if (o.output.isEmpty())
            return failure(QStringLiteral("--output needs a file name"));
    }

    if (o.command == Command::Dac) {
        const auto channel = wholeNumber(positional.at(1));
        if (!channel || *channel < 0 || *channel >= protocol::kDacChannels)
            return failure(QStringLiteral("dac: CHANNEL must be 0 to 3, not '%1'").arg(positional.at(1)));
        // Whole millivolts, digits only, as the analog output window takes them.
        const QString& text = positional.at(2);
        const bool digits = !text.isEmpty() && text.size() <= 4
            && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        const auto mv = digits ? wholeNumber(text) : std::nullopt;
        if (!mv || *mv > protocol::kDacMaxMillivolts)
            return failure(QStringLiteral("dac: MILLIVOLTS must be 0 to 4300, not '%1'").arg(text));
        o.dacChannel = *channel;
        o.dacMillivolts = *mv;
    }
    if (o.command == Command::Dout) {
        const QString& level = positional.at(1);
        if (level == QLatin1String("on"))
            o.doutHigh = true;
        else if (level == QLatin1String("off"))
            o.doutHigh = false;
        else
            return failure(QStringLiteral("dout: say on or off, not '%1'").arg(level));
    }

    ParsedLine parsed;
    parsed.action = ParsedLine::Action::Run;
    parsed.options = o;
    return parsed;
}

} // namespace zoltctl
