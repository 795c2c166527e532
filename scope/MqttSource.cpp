#include "scope/MqttSource.h"

#include "front/MqttRun.h"
#include "net/ControlCommand.h"

namespace scope {

MqttSource::MqttSource(const front::MqttOptions& options, QObject* parent)
    : ScanSource(parent)
    , m_options(options)
{
}

MqttSource::~MqttSource() = default;

QString MqttSource::label() const
{
    return mqtt::urlText(m_options.endpoint, false);
}

QString MqttSource::open()
{
    QString error;
    const std::optional<mqtt::ClientSettings> s = front::clientSettings(m_options, QStringLiteral("zoltscope"), &error);
    if (!s)
        return error;
    m_client = std::make_unique<mqtt::Client>(*s);
    if (!m_client->openAndWait(front::MqttRun::kConnectWaitMs))
        return m_client->error();
    m_bench = std::make_unique<front::RemoteBench>(*m_client, m_options.endpoint.prefix);
    connect(m_bench.get(), &front::RemoteBench::scanned, this, [this](const acquisition::Scan& scan) {
        if (m_running)
            emit scanned(scan);
    });
    connect(m_bench.get(), &front::RemoteBench::statusChanged, this, &MqttSource::onStatus);
    connect(m_bench.get(), &front::RemoteBench::acknowledged, this, &MqttSource::onAcknowledged);
    connect(m_client.get(), &mqtt::Client::connectionLost, this, [this] { onStatus(QStringLiteral("broker lost")); });
    return {};
}

void MqttSource::onStatus(const QString& status)
{
    const bool away = !status.startsWith(QLatin1String("online"));
    if (away && !m_away)
        emit lost(QStringLiteral("%1: %2").arg(label(), status));
    else if (!away && m_away)
        emit returned();
    m_away = away;
}

void MqttSource::onAcknowledged(const QString& what)
{
    // The command answered, as its topic below the prefix and its payload:
    // "set/dac/2 1500" or "set/dout on".
    const QByteArray text = what.toUtf8();
    const qsizetype space = text.indexOf(' ');
    if (space < 0)
        return;
    const mqtt::ControlParse p = mqtt::parseControl(std::string_view(text.constData(), static_cast<std::size_t>(space)),
                                                    std::string_view(text.constData() + space + 1,
                                                                     static_cast<std::size_t>(text.size() - space - 1)));
    if (!p.command)
        return;
    if (p.command->kind == mqtt::ControlCommand::Kind::DigitalOutput)
        emit outputSent(-1, p.command->high ? 1 : 0);
    else
        emit outputSent(p.command->channel, p.command->millivolts);
}

bool MqttSource::waiting() const
{
    return m_away;
}

double MqttSource::limitScansPerSecond(const acquisition::Settings&) const
{
    return m_bench && m_bench->meta() ? m_bench->meta()->lineLimitScansPerSecond : 0.0;
}

bool MqttSource::drivesOutputs() const
{
    return m_bench && m_bench->takesCommands() && m_client->isConnected();
}

void MqttSource::setAnalogOutput(int channel, int millivolts)
{
    if (m_bench)
        m_bench->setAnalogOutput(channel, millivolts);
}

void MqttSource::setDigitalOutput(bool high)
{
    if (m_bench)
        m_bench->setDigitalOutput(high);
}

} // namespace scope
