#include "ctl/SampleCommand.h"

#include "ctl/ReadCommand.h"
#include "ctl/Sampler.h"
#include "front/ModuleLink.h"
#include "front/PauseText.h"
#include "front/SetupChoice.h"
#ifdef ZOLT_HAS_MQTT
#include "front/MqttRun.h"
#endif
#include "platform/TerminationSignals.h"

#include <QCommandLineParser>
#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

namespace zoltctl {

namespace {

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
                                 QStringLiteral("Pause between cycles: %1 or milliseconds (default %2).")
                                     .arg(front::pauseWords(), QLatin1String(acquisition::kNamedPauses[1].word)),
                                 QStringLiteral("pause")));
    addOption(QCommandLineOption(kCount, QStringLiteral("Stop after N rows."), QStringLiteral("N")));
    addOption(QCommandLineOption(kDuration, QStringLiteral("Stop after this many seconds."), QStringLiteral("seconds")));
    addOption(QCommandLineOption(kFormat, QStringLiteral("Output format (default csv)."), QStringLiteral("csv|jsonl")));
    addOption(QCommandLineOption(kOutput, QStringLiteral("Write rows to this file instead of standard output."),
                                 QStringLiteral("file")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttOption),
                                 QStringLiteral("Publish every scan on an MQTT broker too: mqtt://[USER@]HOST[:PORT]/PREFIX "
                                                "or mqtts://... (password from ZOLTCTL_MQTT_PASSWORD or "
                                                "--mqtt-password-file, never from the command line)."),
                                 QStringLiteral("URL")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttCaFileOption),
                                 QStringLiteral("The certificate authority of an mqtts:// broker (default: the "
                                                "system's)."),
                                 QStringLiteral("file")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttPasswordFileOption),
                                 QStringLiteral("Read the broker password from this file's first line."),
                                 QStringLiteral("file")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttClientIdOption),
                                 QStringLiteral("The MQTT client id (default: zoltctl-HOSTNAME-PREFIX)."),
                                 QStringLiteral("id")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttQosOption), QStringLiteral("QoS of the scans (default 0)."),
                                 QStringLiteral("0|1")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttControlOption),
                                 QStringLiteral("Take commands from PREFIX/set/dac/N (millivolts) and PREFIX/set/dout "
                                                "(on or off); answered on PREFIX/ack or PREFIX/error.")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttDiscoveryOption),
                                 QStringLiteral("Announce the channels and lines to a home or lab automation hub "
                                                "(Home Assistant's MQTT discovery), their state on PREFIX/state once "
                                                "a second.")));
    addOption(QCommandLineOption(QLatin1String(front::kMqttDiscoveryRemoveOption),
                                 QStringLiteral("Take the announcement back (empty retained configs) and end, without "
                                                "sampling.")));
    addOption(front::SetupChoice::option());
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
        const auto pause = front::parsePause(text);
        if (!pause)
            return front::pauseRefused(QStringLiteral("--interval"), text);
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
        const auto chosen = front::parseFormat(format);
        if (!chosen)
            return QStringLiteral("--format must be csv or jsonl, not '%1'").arg(format);
        o.format = *chosen;
    }
    if (parser.isSet(kOutput)) {
        o.output = parser.value(kOutput);
        if (o.output.isEmpty())
            return QStringLiteral("--output needs a file name");
    }
    const auto isSet = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    const auto value = [&](const char* name) { return parser.value(QLatin1String(name)); };
    if (const auto error = front::parseMqttOptions(isSet, value, o.mqtt))
        return *error;
    o.exitOnLoss = parser.isSet(kExitOnLoss);
    front::SetupChoice setup;
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
    const front::MqttRun::Removed removed = front::MqttRun::removeDiscovery(m_settings.mqtt, QStringLiteral("zoltctl"));
    if (removed.failure != front::MqttRun::Failure::None)
        return fail(removed.failure == front::MqttRun::Failure::Password ? ExitStatus::Usage : ExitStatus::Broker,
                    removed.message);
    return ExitStatus::Ok;
#else
    return fail(ExitStatus::Usage, QStringLiteral("--mqtt: this zoltctl was built without MQTT (libmosquitto)"));
#endif
}

ExitStatus SampleCommand::run(front::ModuleLink& link)
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
            const QString sidecar = front::setupSidecarPath(options.output);
            if (const QString why = options.setup->save(sidecar); !why.isEmpty())
                return fail(ExitStatus::Output, why);
        }
    }
    TerminationSignals termination;
    // Rows on standard output are the data; progress only when they go elsewhere.
    Sampler sampler(link, options, out, file ? stderr : nullptr);
    QObject::connect(&termination, &TerminationSignals::received, &sampler, &Sampler::stop);
#ifdef ZOLT_HAS_MQTT
    std::unique_ptr<front::MqttRun> mqtt;
    if (options.mqtt.enabled) {
        front::BenchMeta meta = front::benchMeta(link.portLabel(), linkOptions().baud,
                                                       acquisitionSettings(options), options.mqtt.control);
        meta.setup = options.setup;
        meta.discovery = options.mqtt.discovery;
        meta.program = QStringLiteral("zoltctl");
        front::MqttRun::Opened opened = front::MqttRun::open(options.mqtt, meta, QStringLiteral("zoltctl"));
        if (!opened.run)
            return fail(opened.failure == front::MqttRun::Failure::Password ? ExitStatus::Usage : ExitStatus::Broker,
                        opened.message);
        mqtt = std::move(opened.run);
        // After the row: the sampler took the scan first.
        mqtt->follow(sampler.acquisition());
        sampler.setProgressNote([&] { return QStringLiteral("%1 dropped").arg(mqtt->publisher().dropped()); });
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
