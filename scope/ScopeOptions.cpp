#include "scope/ScopeOptions.h"

#include <QCommandLineParser>

namespace scope {

ParsedScopeLine parseScopeLine(const QStringList& args)
{
    ParsedScopeLine out;
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("ZOLT Scope: the 232ZOLT's signals over time."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The module on COM port n (1 to 16)."), QStringLiteral("COMn"));
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("The module on this serial device."), QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("2400, 4800 or 9600 (default 9600)."), QStringLiteral("RATE"));
    const QCommandLineOption simulate(QStringLiteral("simulate"), QStringLiteral("The simulated module (Demo)."));
    const QCommandLineOption noPresence(QStringLiteral("no-presence-check"),
                                        QStringLiteral("Do not require DSR and CTS (a pseudo-terminal, a cable without them)."));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Start sampling at once."));
    const QCommandLineOption record(QStringLiteral("record"), QStringLiteral("Start sampling and record to FILE."), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("Recording format: csv or jsonl."), QStringLiteral("FORMAT"));
    const QCommandLineOption replace(QStringLiteral("replace"), QStringLiteral("Replace an existing recording file."));
    p.addOptions({help, version, port, device, baud, simulate, noPresence, start, record, format, replace});
    if (!p.parse(args)) {
        out.text = p.errorText();
        return out;
    }
    if (p.isSet(help)) {
        out.action = ParsedScopeLine::Action::Help;
        out.text = p.helpText();
        return out;
    }
    if (p.isSet(version)) {
        out.action = ParsedScopeLine::Action::Version;
        return out;
    }
    if (!p.positionalArguments().isEmpty()) {
        out.text = QStringLiteral("unexpected argument %1").arg(p.positionalArguments().constFirst());
        return out;
    }
    ScopeOptions& o = out.options;
    const int sources = int(p.isSet(port)) + int(p.isSet(device)) + int(p.isSet(simulate));
    if (sources > 1) {
        out.text = QStringLiteral("--port, --device and --simulate exclude each other");
        return out;
    }
    o.linkGiven = sources == 1;
    if (p.isSet(port)) {
        const auto n = zoltctl::parseComPort(p.value(port));
        if (!n) {
            out.text = QStringLiteral("--port takes COM1 to COM16, not %1").arg(p.value(port));
            return out;
        }
        o.link.port = *n;
    }
    o.link.device = p.value(device);
    o.link.simulate = p.isSet(simulate);
    o.link.presenceCheck = !p.isSet(noPresence);
    if (p.isSet(baud)) {
        const QString b = p.value(baud);
        if (b != QLatin1String("2400") && b != QLatin1String("4800") && b != QLatin1String("9600")) {
            out.text = QStringLiteral("--baud takes 2400, 4800 or 9600, not %1").arg(b);
            return out;
        }
        o.link.baud = b.toInt();
        o.baudGiven = true;
    }
    if (p.isSet(format)) {
        const QString f = p.value(format);
        if (f == QLatin1String("csv"))
            o.format = zoltctl::Format::Csv;
        else if (f == QLatin1String("jsonl"))
            o.format = zoltctl::Format::Jsonl;
        else {
            out.text = QStringLiteral("--format takes csv or jsonl, not %1").arg(f);
            return out;
        }
    }
    o.record = p.value(record);
    o.start = p.isSet(start) || !o.record.isEmpty();
    o.replace = p.isSet(replace);
    out.action = ParsedScopeLine::Action::Run;
    return out;
}

} // namespace scope
