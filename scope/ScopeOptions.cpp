#include "scope/ScopeOptions.h"

#include "front/PauseText.h"
#include "front/SetupChoice.h"

#include <QCommandLineParser>

namespace scope {

ParsedScopeLine parseScopeLine(const QStringList& args)
{
    ParsedScopeLine out;
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("ZOLT Scope: the 232ZOLT's signals over time."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A recording (CSV or JSON lines of zoltctl or ZOLT Scope) to open and follow."),
                            QStringLiteral("[FILE]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Start sampling at once."));
    const QCommandLineOption record(QStringLiteral("record"), QStringLiteral("Start sampling and record to FILE."), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("Recording format: csv or jsonl."), QStringLiteral("FORMAT"));
    const QCommandLineOption replace(QStringLiteral("replace"), QStringLiteral("Replace an existing recording file."));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("Pause between scans: %1 or milliseconds.").arg(front::pauseWords()),
                                      QStringLiteral("pause"));
    p.addOptions({help, version});
    front::addLinkOptions(p);
    p.addOptions({start, record, format, replace, interval});
    const QCommandLineOption mqttSource(QLatin1String(front::kMqttOption),
        QStringLiteral("Watch a bench on an MQTT broker: mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://... (password from "
                       "ZOLTCTL_MQTT_PASSWORD or --mqtt-password-file)."),
        QStringLiteral("URL"));
    const QCommandLineOption publish(QStringLiteral("publish"),
        QStringLiteral("Publish this acquisition on an MQTT broker under PREFIX, as zoltctl sample --mqtt does."),
        QStringLiteral("URL"));
    p.addOptions({mqttSource, publish,
                  QCommandLineOption(QLatin1String(front::kMqttCaFileOption),
                                     QStringLiteral("The certificate authority of an mqtts:// broker."), QStringLiteral("FILE")),
                  QCommandLineOption(QLatin1String(front::kMqttPasswordFileOption),
                                     QStringLiteral("Read the broker password from this file's first line."),
                                     QStringLiteral("FILE")),
                  QCommandLineOption(QLatin1String(front::kMqttClientIdOption),
                                     QStringLiteral("The MQTT client id (default: from host name and prefix)."),
                                     QStringLiteral("ID")),
                  QCommandLineOption(QLatin1String(front::kMqttQosOption),
                                     QStringLiteral("--publish: QoS of the scans (default 0)."), QStringLiteral("0|1")),
                  QCommandLineOption(QLatin1String(front::kMqttControlOption),
                                     QStringLiteral("--publish: take commands from PREFIX/set/dac/N and PREFIX/set/dout.")),
                  QCommandLineOption(QLatin1String(front::kMqttDiscoveryOption),
                                     QStringLiteral("--publish: announce the channels and lines to a home or lab "
                                                    "automation hub (Home Assistant's MQTT discovery).")),
                  QCommandLineOption(QLatin1String(front::kMqttDiscoveryRemoveOption),
                                     QStringLiteral("--publish: take the announcement back and end.")),
                  front::SetupChoice::option()});
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
    if (p.positionalArguments().size() > 1) {
        out.text = QStringLiteral("unexpected argument %1: one recording is opened at a time").arg(p.positionalArguments().at(1));
        return out;
    }
    ScopeOptions& o = out.options;
    o.open = p.positionalArguments().value(0);
    const front::LinkOptionsRead link = front::linkOptionsFrom(p);
    if (!link.ok()) {
        out.text = link.error;
        return out;
    }
    o.link = link.options;
    o.linkGiven = o.link.simulate || o.link.port != 0 || !o.link.device.isEmpty();
    if (p.isSet(format)) {
        const QString f = p.value(format);
        const auto chosen = front::parseFormat(f);
        if (!chosen) {
            out.text = QStringLiteral("--format takes csv or jsonl, not %1").arg(f);
            return out;
        }
        o.format = *chosen;
    }
    if (p.isSet(interval)) {
        const QString text = p.value(interval);
        o.pauseMs = front::parsePause(text);
        if (!o.pauseMs) {
            out.text = front::pauseRefused(QStringLiteral("--interval"), text);
            return out;
        }
    }
    if (p.isSet(mqttSource) && p.isSet(publish)) {
        out.text = QStringLiteral("give --mqtt (watch a bench) or --publish (publish this one), not both");
        return out;
    }
    if (p.isSet(mqttSource) && o.linkGiven) {
        out.text = QStringLiteral("--mqtt watches a bench on a broker; it takes no port");
        return out;
    }
    // --publish reads the same options as --mqtt, under its own name.
    const bool publishing = p.isSet(publish);
    // Names compare as text: equal literals in two object files need not
    // share an address (MinGW keeps them apart).
    const auto optionName = [&](const char* name) {
        return publishing && qstrcmp(name, front::kMqttOption) == 0 ? QStringLiteral("publish")
                                                                    : QString::fromLatin1(name);
    };
    const auto isSet = [&](const char* name) { return p.isSet(optionName(name)); };
    const auto value = [&](const char* name) { return p.value(optionName(name)); };
    if (const auto error = front::parseMqttOptions(isSet, value, publishing ? o.publish : o.mqtt)) {
        out.text = *error;
        return out;
    }
    if (o.mqtt.discovery || o.mqtt.discoveryRemove) {
        out.text = QStringLiteral("--mqtt-discovery announces a bench this scope publishes: give it with --publish");
        return out;
    }
    front::SetupChoice setup;
    if (const QString error = setup.take(p); !error.isEmpty()) {
        out.text = error;
        return out;
    }
    o.setup = setup.setup;
    o.record = p.value(record);
    o.start = p.isSet(start) || !o.record.isEmpty();
    if (!o.open.isEmpty() && (o.linkGiven || o.start || o.mqtt.enabled || o.publish.enabled)) {
        out.text = QStringLiteral("a recording to open (%1) takes no module, broker or sampling options").arg(o.open);
        return out;
    }
    o.replace = p.isSet(replace);
    out.action = ParsedScopeLine::Action::Run;
    return out;
}

} // namespace scope
