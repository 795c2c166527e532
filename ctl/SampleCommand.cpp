#include "ctl/SampleCommand.h"

#include "ctl/CtlLink.h"
#include "ctl/ReadCommand.h"
#include "ctl/Sampler.h"
#include "ctl/SetupChoice.h"
#ifdef ZOLT_HAS_MQTT
#include "ctl/MqttRun.h"
#endif
#include "platform/TerminationSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

namespace zoltctl {

namespace {

#ifdef ZOLT_HAS_MQTT
BenchMeta benchMeta(CtlLink& link, const Options& options, int baud)
{
    BenchMeta meta;
    meta.version = QCoreApplication::applicationVersion();
    meta.port = link.portLabel(link.module().SelPort);
    meta.baud = baud;
    meta.topChannel = options.topChannel;
    meta.digital = options.digital;
    meta.pauseMs = options.intervalMs;
    acquisition::Settings settings;
    settings.topChannel = options.topChannel;
    settings.digital = options.digital;
    settings.pauseMs = options.intervalMs;
    meta.lineLimitScansPerSecond = acquisition::lineLimitScansPerSecond(settings, meta.baud);
    meta.control = options.mqtt.control;
    meta.setup = options.setup;
    meta.discovery = options.mqtt.discovery;
    return meta;
}
#endif

const QString kInterval = QStringLiteral("interval");
const QString kCount = QStringLiteral("count");
const QString kDuration = QStringLiteral("duration");
const QString kFormat = QStringLiteral("format");
const QString kOutput = QStringLiteral("output");
const QString kExitOnLoss = QStringLiteral("exit-on-loss");

} // namespace

SampleCommand::SampleCommand()
    : LinkCommand(QStringLiteral("sample"),
                  QStringLiteral("Continuous sampling to CSV or JSON lines, until --count, --duration, Ctrl-C or "
                                 "SIGTERM."))
{
    for (const QCommandLineOption& o : ChannelChoice::options())
        addOption(o);
    addOption(QCommandLineOption(kInterval,
                                 QStringLiteral("Pause between cycles: max, 0.5s, 1s, 10s or milliseconds "
                                                "(default 0.5s)."),
                                 QStringLiteral("pause")));
    addOption(QCommandLineOption(kCount, QStringLiteral("Stop after N rows."), QStringLiteral("N")));
    addOption(QCommandLineOption(kDuration, QStringLiteral("Stop after this many seconds."), QStringLiteral("seconds")));
    addOption(QCommandLineOption(kFormat, QStringLiteral("Output format (default csv)."), QStringLiteral("csv|jsonl")));
    addOption(QCommandLineOption(kOutput, QStringLiteral("Write rows to this file instead of standard output."),
                                 QStringLiteral("file")));
    addOption(QCommandLineOption(QLatin1String(kMqttOption),
                                 QStringLiteral("Publish every scan on an MQTT broker too: mqtt://[USER@]HOST[:PORT]/PREFIX "
                                                "or mqtts://... (password from ZOLTCTL_MQTT_PASSWORD or "
                                                "--mqtt-password-file, never from the command line)."),
                                 QStringLiteral("URL")));
    addOption(QCommandLineOption(QLatin1String(kMqttCaFileOption),
                                 QStringLiteral("The certificate authority of an mqtts:// broker (default: the "
                                                "system's)."),
                                 QStringLiteral("file")));
    addOption(QCommandLineOption(QLatin1String(kMqttPasswordFileOption),
                                 QStringLiteral("Read the broker password from this file's first line."),
                                 QStringLiteral("file")));
    addOption(QCommandLineOption(QLatin1String(kMqttClientIdOption),
                                 QStringLiteral("The MQTT client id (default: zoltctl-HOSTNAME-PREFIX)."),
                                 QStringLiteral("id")));
    addOption(QCommandLineOption(QLatin1String(kMqttQosOption), QStringLiteral("QoS of the scans (default 0)."),
                                 QStringLiteral("0|1")));
    addOption(QCommandLineOption(QLatin1String(kMqttControlOption),
                                 QStringLiteral("Take commands from PREFIX/set/dac/N (millivolts) and PREFIX/set/dout "
                                                "(on or off); answered on PREFIX/ack or PREFIX/error.")));
    addOption(QCommandLineOption(QLatin1String(kMqttDiscoveryOption),
                                 QStringLiteral("Announce the channels and lines to a home or lab automation hub "
                                                "(Home Assistant's MQTT discovery), their state on PREFIX/state once "
                                                "a second.")));
    addOption(QCommandLineOption(QLatin1String(kMqttDiscoveryRemoveOption),
                                 QStringLiteral("Take the announcement back (empty retained configs) and end, without "
                                                "sampling.")));
    addOption(SetupChoice::option());
    addOption(QCommandLineOption(kExitOnLoss, QStringLiteral("End with status 3 when the port is lost, instead of "
                                                             "waiting for it to return.")));
}

QString SampleCommand::takeOwn(const QCommandLineParser& parser, const QStringList&)
{
    Options& o = m_settings;
    ChannelChoice channels;
    if (QString error = channels.take(parser); !error.isEmpty())
        return error;
    o.topChannel = channels.topChannel;
    o.digital = channels.digital;
    if (parser.isSet(kInterval)) {
        const QString text = parser.value(kInterval);
        const auto pause = parseInterval(text);
        if (!pause) {
            return QStringLiteral("--interval must be max, 0.5s, 1s, 10s or 0 to %1 ms, not '%2'")
                .arg(kLongestPauseMs)
                .arg(text);
        }
        o.intervalMs = *pause;
    }
    if (parser.isSet(kCount)) {
        bool ok = false;
        o.count = parser.value(kCount).toLongLong(&ok);
        if (!ok || o.count < 1)
            return QStringLiteral("--count must be a whole number of at least 1, not '%1'").arg(parser.value(kCount));
    }
    if (parser.isSet(kDuration)) {
        bool ok = false;
        o.durationS = parser.value(kDuration).toDouble(&ok);
        if (!ok || !std::isfinite(o.durationS) || o.durationS <= 0 || o.durationS > 1e9)
            return QStringLiteral("--duration must be a positive number of seconds, not '%1'")
                .arg(parser.value(kDuration));
    }
    if (parser.isSet(kFormat)) {
        const QString format = parser.value(kFormat);
        if (format == QLatin1String("csv"))
            o.format = Format::Csv;
        else if (format == QLatin1String("jsonl"))
            o.format = Format::Jsonl;
        else
            return QStringLiteral("--format must be csv or jsonl, not '%1'").arg(format);
    }
    if (parser.isSet(kOutput)) {
        o.output = parser.value(kOutput);
        if (o.output.isEmpty())
            return QStringLiteral("--output needs a file name");
    }
    const auto isSet = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    const auto value = [&](const char* name) { return parser.value(QLatin1String(name)); };
    if (const auto error = parseMqttOptions(isSet, value, o.mqtt))
        return *error;
    o.exitOnLoss = parser.isSet(kExitOnLoss);
    SetupChoice setup;
    if (QString error = setup.take(parser); !error.isEmpty())
        return error;
    o.setup = setup.setup;
    return {};
}

std::optional<ExitStatus> SampleCommand::runWithoutLink()
{
    if (!m_settings.mqtt.discoveryRemove)
        return std::nullopt;
#ifdef ZOLT_HAS_MQTT
    const MqttRun::Removed removed = MqttRun::removeDiscovery(m_settings.mqtt);
    if (removed.status != ExitStatus::Ok)
        return fail(removed.status, removed.message);
    return ExitStatus::Ok;
#else
    return fail(ExitStatus::Usage, QStringLiteral("--mqtt: this zoltctl was built without MQTT (libmosquitto)"));
#endif
}

ExitStatus SampleCommand::run(CtlLink& link)
{
    const Options& options = m_settings;
    std::FILE* out = stdout;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    if (!options.output.isEmpty()) {
        file.reset(std::fopen(QFile::encodeName(options.output).constData(), "w"));
        if (!file)
            return fail(ExitStatus::Output, QStringLiteral("cannot write %1: %2")
                                               .arg(options.output, QString::fromLocal8Bit(std::strerror(errno))));
        out = file.get();
        // The setup travels beside the rows it gives meaning to.
        if (options.setup) {
            const QString sidecar = setupSidecarPath(options.output);
            if (const QString why = options.setup->save(sidecar); !why.isEmpty())
                return fail(ExitStatus::Output, why);
        }
    }
    TerminationSignals termination;
    // Rows on standard output are the data; progress only when they go elsewhere.
    Sampler sampler(link, options, out, file ? stderr : nullptr);
    QObject::connect(&termination, &TerminationSignals::received, &sampler, &Sampler::stop);
#ifdef ZOLT_HAS_MQTT
    std::unique_ptr<MqttRun> mqtt;
    // The scans as JSON with their seq, by the formatter that writes the rows.
    // With a setup, the scaled values too; the hub that discovery announces
    // the bench to reads them, the default setup's when none is given.
    const front::ChannelSetup defaults;
    const front::ChannelSetup* scaled = options.setup ? &*options.setup : options.mqtt.discovery ? &defaults : nullptr;
    RowFormat scanJson(Format::Jsonl, options.topChannel, options.digital, scaled);
    if (options.mqtt.enabled) {
        MqttRun::Opened opened = MqttRun::open(options.mqtt, benchMeta(link, options, linkOptions().baud));
        if (!opened.run)
            return fail(opened.status, opened.message);
        mqtt = std::move(opened.run);
        BenchPublisher& bench = mqtt->publisher();
        acquisition::Acquisition& cycle = sampler.acquisition();
        // After the row: the sampler took the scan first.
        QObject::connect(&cycle, &acquisition::Acquisition::scanned, &bench,
                         [&](const acquisition::Scan& scan) { bench.publishScan(scanJson.json(scan, true)); });
        QObject::connect(&cycle, &acquisition::Acquisition::portLost, &bench,
                         [&] { bench.setStatus(BenchPublisher::Status::WaitingForDevice); });
        QObject::connect(&cycle, &acquisition::Acquisition::portReturned, &bench,
                         [&] { bench.setStatus(BenchPublisher::Status::Online); });
        if (options.mqtt.control) {
            bench.acceptControl({[&](int channel, int mv) { cycle.setAnalogOutput(channel, mv); },
                                 [&](bool high) { cycle.setDigitalOutput(high); }});
            QObject::connect(&cycle, &acquisition::Acquisition::outputSent, &bench, &BenchPublisher::outputSent);
        }
        bench.setStatus(BenchPublisher::Status::Online);
        sampler.setProgressNote([&] { return QStringLiteral("%1 dropped").arg(bench.dropped()); });
    }
#else
    if (options.mqtt.enabled)
        return fail(ExitStatus::Usage, QStringLiteral("--mqtt: this zoltctl was built without MQTT (libmosquitto)"));
#endif
    ExitStatus status = sampler.run();
#ifdef ZOLT_HAS_MQTT
    if (mqtt)
        mqtt->close();
#endif
    QString message = sampler.message();
    if (file) {
        std::FILE* raw = file.release();
        if (std::fclose(raw) != 0 && status == ExitStatus::Ok) {
            status = ExitStatus::Output;
            message = QStringLiteral("cannot write %1: %2").arg(options.output, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    if (!message.isEmpty())
        return fail(status, message);
    return status;
}

} // namespace zoltctl
