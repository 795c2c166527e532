#include "scope/PublishedSource.h"

namespace scope {

namespace {

front::BenchMeta metaFor(const ScanSource& source, int baud, const acquisition::Settings& settings, bool control,
                         const std::optional<front::ChannelSetup>& setup, bool discovery)
{
    front::BenchMeta meta = front::benchMeta(source.label(), baud, settings, control);
    meta.setup = setup;
    meta.discovery = discovery;
    meta.program = QStringLiteral("zoltscope");
    return meta;
}

} // namespace

QString PublishedSource::start(ScanSource& source, const front::MqttOptions& options,
                               const acquisition::Settings& settings, int baud,
                               const std::optional<front::ChannelSetup>& setup, std::unique_ptr<PublishedSource>& out)
{
    acquisition::Acquisition* cycle = source.acquisition();
    if (!cycle)
        return QStringLiteral("this source has no acquisition of its own to publish");
    const bool control = options.control && source.drivesOutputs();
    front::MqttRun::Opened opened = front::MqttRun::open(options, metaFor(source, baud, settings, control, setup, options.discovery),
                                                         QStringLiteral("zoltscope"), front::MqttRun::Start::InBackground);
    if (!opened.run)
        return opened.message;
    opened.run->follow(*cycle);
    out.reset(new PublishedSource(source, std::move(opened.run)));
    return {};
}

PublishedSource::PublishedSource(ScanSource& source, std::unique_ptr<front::MqttRun> run)
    : m_source(source)
    , m_run(std::move(run))
{
    connect(&m_run->client(), &mqtt::Client::refused, this, &PublishedSource::brokerProblem);
}

PublishedSource::~PublishedSource()
{
    m_run->close();
}

void PublishedSource::setSettings(const acquisition::Settings& settings)
{
    const front::BenchMeta& meta = m_run->meta();
    m_run->setMeta(metaFor(m_source, meta.baud, settings, meta.control, meta.setup, meta.discovery));
}

void PublishedSource::setSetup(const std::optional<front::ChannelSetup>& setup)
{
    front::BenchMeta meta = m_run->meta();
    meta.setup = setup;
    m_run->setMeta(meta);
}

} // namespace scope
