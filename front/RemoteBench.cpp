#include "front/RemoteBench.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace front {

namespace {

constexpr int kCommandQos = 1;

bool wholeIn(const QJsonValue& v, int low, int high, int& out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (d != std::floor(d) || d < low || d > high)
        return false;
    out = static_cast<int>(d);
    return true;
}

} // namespace

std::optional<acquisition::Scan> scanFromJson(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    acquisition::Scan s;
    const QJsonValue seq = o.value(QStringLiteral("seq"));
    if (!seq.isDouble() || seq.toDouble() < 1)
        return std::nullopt;
    s.seq = static_cast<long long>(seq.toDouble());
    const QDateTime wall = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    if (!wall.isValid())
        return std::nullopt;
    s.wall = std::chrono::system_clock::time_point(std::chrono::milliseconds(wall.toMSecsSinceEpoch()));
    const QJsonValue seconds = o.value(QStringLiteral("seconds"));
    if (!seconds.isDouble() || seconds.toDouble() < 0)
        return std::nullopt;
    s.elapsedNs = static_cast<qint64>(std::llround(seconds.toDouble() * 1e9));
    s.topChannel = -1;
    for (int ch = 0; ch < acquisition::kChannels; ++ch) {
        const QJsonValue count = o.value(QStringLiteral("ch%1_count").arg(ch));
        if (count.isUndefined())
            break;
        if (!wholeIn(count, 0, 4095, s.counts[ch])
            || !wholeIn(o.value(QStringLiteral("ch%1_mv").arg(ch)), 0, 5000, s.millivolts[ch]))
            return std::nullopt;
        s.topChannel = ch;
    }
    if (s.topChannel < 0)
        return std::nullopt;
    s.digital = o.contains(QStringLiteral("din%1").arg(acquisition::kFirstDigitalLine));
    if (s.digital) {
        for (int i = 0; i < acquisition::kDigitalLines; ++i)
            if (!wholeIn(o.value(QStringLiteral("din%1").arg(acquisition::kFirstDigitalLine + i)), 0, 1, s.lines[i]))
                return std::nullopt;
    }
    return s;
}

std::optional<BenchMeta> metaFromJson(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    BenchMeta m;
    m.version = o.value(QStringLiteral("version")).toString();
    m.port = o.value(QStringLiteral("port")).toString();
    m.baud = o.value(QStringLiteral("baud")).toInt();
    const QJsonArray channels = o.value(QStringLiteral("channels")).toArray();
    if (channels.isEmpty() || channels.size() > acquisition::kChannels)
        return std::nullopt;
    m.topChannel = static_cast<int>(channels.size()) - 1;
    m.digital = o.value(QStringLiteral("digital")).toString() == QLatin1String("on");
    m.pauseMs = o.value(QStringLiteral("pause_ms")).toInt();
    m.lineLimitScansPerSecond = o.value(QStringLiteral("line_limit_scans_per_s")).toDouble();
    m.control = o.value(QStringLiteral("control")).toString() == QLatin1String("on");
    // The bench's channel setup, when it has one it can stand behind; the
    // rest of the meta holds without it.
    if (o.value(QStringLiteral("setup")).isObject()) {
        const front::SetupRead setup =
            front::ChannelSetup::fromJson(QJsonDocument(o.value(QStringLiteral("setup")).toObject()).toJson());
        m.setup = setup.setup;
    }
    return m;
}

RemoteBench::RemoteBench(mqtt::Client& client, const QString& prefix, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_prefix(prefix.toUtf8())
{
    connect(&m_client, &mqtt::Client::messageReceived, this, &RemoteBench::onMessage);
    for (const char* leaf : {"/scan", "/meta", "/status", "/ack", "/error"})
        m_client.subscribe(m_prefix + leaf, kCommandQos);
}

void RemoteBench::onMessage(const QByteArray& topic, const QByteArray& payload)
{
    if (!topic.startsWith(m_prefix + '/'))
        return;
    const QByteArray leaf = topic.mid(m_prefix.size() + 1);
    if (leaf == "scan") {
        if (const auto scan = scanFromJson(payload))
            emit scanned(*scan);
        else
            ++m_badScans;
    } else if (leaf == "meta") {
        m_meta = metaFromJson(payload);
        emit metaChanged();
    } else if (leaf == "status") {
        m_status = QString::fromUtf8(payload);
        emit statusChanged(m_status);
    } else if (leaf == "ack") {
        emit acknowledged(QString::fromUtf8(payload));
    } else if (leaf == "error") {
        emit refused(QString::fromUtf8(payload));
    }
}

void RemoteBench::setAnalogOutput(int channel, int millivolts)
{
    m_client.publish(m_prefix + "/set/dac/" + QByteArray::number(channel), QByteArray::number(millivolts), kCommandQos);
}

void RemoteBench::setDigitalOutput(bool high)
{
    m_client.publish(m_prefix + "/set/dout", high ? "on" : "off", kCommandQos);
}

} // namespace front
