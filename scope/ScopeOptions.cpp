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
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Start sampling at once."));
    const QCommandLineOption record(QStringLiteral("record"), QStringLiteral("Start sampling and record to FILE."), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("Recording format: csv or jsonl."), QStringLiteral("FORMAT"));
    const QCommandLineOption replace(QStringLiteral("replace"), QStringLiteral("Replace an existing recording file."));
    p.addOptions({help, version});
    zoltctl::addLinkOptions(p);
    p.addOptions({start, record, format, replace});
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
    const zoltctl::LinkOptionsRead link = zoltctl::linkOptionsFrom(p);
    if (!link.ok()) {
        out.text = link.error;
        return out;
    }
    o.link = link.options;
    o.linkGiven = o.link.simulate || o.link.port != 0 || !o.link.device.isEmpty();
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
