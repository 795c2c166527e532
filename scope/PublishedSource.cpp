#include "scope/PublishedSource.h"

#include <QCoreApplication>

namespace scope {

namespace {

zoltctl::BenchMeta metaFor(const ScanSource& source, const acquisition::Settings& settings, int baud, bool control,
                           const std::optional<front::ChannelSetup>& setup, bool discovery)
{
    zoltctl::BenchMeta meta;
    meta.version = QCoreApplication::applicationVersion();
    meta.port = source.label();
    meta.baud = baud;
    meta.topChannel = settings.topChannel;
    meta.digital = settings.digital;
    meta.pauseMs = settings.pauseMs;
    meta.lineLimitScansPerSecond = source.limitScansPerSecond(settings);
    meta.control = control;
    meta.setup = setup;
    meta.discovery = discovery;
    meta.program = QStringLiteral("zoltscope");
    return meta;
}

} // namespace

QString PublishedSource::start(ScanSource& source, const zoltctl::MqttOptions& options,
                               const acquisition::Settings& settings, int baud,
                               const std::optional<front::ChannelSetup>& setup, std::unique_ptr<PublishedSource>& out)
{
    const bool control = options.control && source.drivesOutputs();
    const zoltctl::BenchMeta meta = metaFor(source, settings, baud, control, setup, options.discovery);
    zoltctl::MqttRun::Opened opened = zoltctl::MqttRun::open(options, meta, QStringLiteral("zoltscope"));
    if (!opened.run)
        return opened.message;
    out.reset(new PublishedSource(source, std::move(opened.run), meta));
    return {};
}

PublishedSource::PublishedSource(ScanSource& source, std::unique_ptr<zoltctl::MqttRun> run,
                                 const zoltctl::BenchMeta& meta)
    : m_source(source)
    , m_run(std::move(run))
    , m_meta(meta)
{
    remakeJson();
    zoltctl::BenchPublisher& bench = m_run->publisher();
    connect(&source, &ScanSource::scanned, this,
            [this](const acquisition::Scan& scan) { m_run->publisher().publishScan(m_json->json(scan, true)); });
    connect(&source, &ScanSource::lost, this,
            [this] { m_run->publisher().setStatus(zoltctl::BenchPublisher::Status::WaitingForDevice); });
    connect(&source, &ScanSource::returned, this,
            [this] { m_run->publisher().setStatus(zoltctl::BenchPublisher::Status::Online); });
    if (meta.control) {
        bench.acceptControl({[this](int channel, int mv) { m_source.setAnalogOutput(channel, mv); },
                             [this](bool high) { m_source.setDigitalOutput(high); }});
        connect(&source, &ScanSource::outputSent, &bench, &zoltctl::BenchPublisher::outputSent);
    }
    bench.setStatus(zoltctl::BenchPublisher::Status::Online);
}

PublishedSource::~PublishedSource()
{
    m_run->close();
}

void PublishedSource::remakeJson()
{
    // The hub that discovery announces the bench to reads the scaled values:
    // the default setup's when there is none.
    const front::ChannelSetup defaults;
    const front::ChannelSetup* scaled = m_meta.setup ? &*m_meta.setup : m_meta.discovery ? &defaults : nullptr;
    m_json = std::make_unique<zoltctl::RowFormat>(zoltctl::Format::Jsonl, m_meta.topChannel, m_meta.digital, scaled);
}

void PublishedSource::setSettings(const acquisition::Settings& settings)
{
    m_meta = metaFor(m_source, settings, m_meta.baud, m_meta.control, m_meta.setup, m_meta.discovery);
    remakeJson();
    m_run->publisher().setMeta(m_meta);
}

void PublishedSource::setSetup(const std::optional<front::ChannelSetup>& setup)
{
    m_meta.setup = setup;
    remakeJson();
    m_run->publisher().setMeta(m_meta);
}

} // namespace scope
