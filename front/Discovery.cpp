#include "front/Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace front {

namespace {

const QByteArray kStatusOnline = "online";
const QByteArray kStatusOffline = "offline";
// What the bench's status texts begin with when it takes scans: "online" and
// "online, 12 scans dropped".
const QByteArray kAvailability =
    "{{ 'online' if value == 'online' or value.startswith('online,') else 'offline' }}";
const QByteArray kOn = "ON";
const QByteArray kOff = "OFF";

QByteArray configTopic(const char* component, const QByteArray& node, const QByteArray& object)
{
    return QByteArray(kDiscoveryPrefix) + '/' + component + '/' + node + '/' + object + "/config";
}

QByteArray channelObject(int ch) { return "ch" + QByteArray::number(ch); }
QByteArray lineObject(int line) { return "din" + QByteArray::number(line); }

QJsonObject common(const DiscoveryBench& bench, const QByteArray& node, const char* component, const QByteArray& object,
                   const QString& name)
{
    const QString id = QString::fromLatin1(node + '_' + object);
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{QString::fromLatin1(node)}},
        {QStringLiteral("name"), QStringLiteral("ZOLT bench %1").arg(bench.prefix)},
        {QStringLiteral("model"), QStringLiteral("232ZOLT")},
        {QStringLiteral("manufacturer"), QStringLiteral("ZOLT")},
        {QStringLiteral("sw_version"), bench.version},
    };
    const QJsonObject availability{
        {QStringLiteral("topic"), bench.prefix + QStringLiteral("/status")},
        {QStringLiteral("value_template"), QString::fromLatin1(kAvailability)},
        {QStringLiteral("payload_available"), QString::fromLatin1(kStatusOnline)},
        {QStringLiteral("payload_not_available"), QString::fromLatin1(kStatusOffline)},
    };
    return QJsonObject{
        {QStringLiteral("name"), name},
        {QStringLiteral("unique_id"), id},
        {QStringLiteral("default_entity_id"), QLatin1String(component) + u'.' + id},
        {QStringLiteral("device"), device},
        {QStringLiteral("origin"), QJsonObject{{QStringLiteral("name"), bench.program},
                                               {QStringLiteral("sw_version"), bench.version}}},
        {QStringLiteral("state_topic"), QString::fromUtf8(discoveryStateTopic(bench.prefix))},
        {QStringLiteral("availability"), QJsonArray{availability}},
    };
}

QByteArray compact(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray discoveryNode(const QString& prefix)
{
    QByteArray node = "zolt_" + prefix.toUtf8();
    for (qsizetype i = 5; i < node.size(); ++i) {
        const char c = node[i];
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!kept)
            node[i] = '_';
    }
    return node;
}

QByteArray discoveryStateTopic(const QString& prefix)
{
    return prefix.toUtf8() + "/state";
}

QByteArray discoveryAvailabilityTemplate()
{
    return kAvailability;
}

std::vector<RetainedMessage> discoveryConfigs(const DiscoveryBench& bench)
{
    const QByteArray node = discoveryNode(bench.prefix);
    std::vector<RetainedMessage> out;
    for (int ch = 0; ch < kSetupInputs; ++ch) {
        const QByteArray object = channelObject(ch);
        const QByteArray topic = configTopic("sensor", node, object);
        if (ch > bench.topChannel) {
            out.push_back({topic, {}});
            continue;
        }
        const InputSetup& in = bench.setup.input(ch);
        QJsonObject o = common(bench, node, "sensor", object, in.name);
        o.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.ch%1_value }}").arg(ch));
        if (!in.unit.isEmpty())
            o.insert(QStringLiteral("unit_of_measurement"), in.unit);
        o.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        o.insert(QStringLiteral("suggested_display_precision"), bench.setup.decimals(ch));
        out.push_back({topic, compact(o)});
    }
    for (int line = kSetupFirstLine; line < kSetupFirstLine + kSetupLines; ++line) {
        const QByteArray object = lineObject(line);
        const QByteArray topic = configTopic("binary_sensor", node, object);
        if (!bench.digital) {
            out.push_back({topic, {}});
            continue;
        }
        QJsonObject o = common(bench, node, "binary_sensor", object, bench.setup.line(line).name);
        o.insert(QStringLiteral("value_template"),
                 QStringLiteral("{{ '%1' if value_json.din%2 == 1 else '%3' }}")
                     .arg(QLatin1String(kOn)).arg(line).arg(QLatin1String(kOff)));
        o.insert(QStringLiteral("payload_on"), QString::fromLatin1(kOn));
        o.insert(QStringLiteral("payload_off"), QString::fromLatin1(kOff));
        out.push_back({topic, compact(o)});
    }
    return out;
}

std::vector<RetainedMessage> discoveryRemoval(const QString& prefix)
{
    DiscoveryBench none;
    none.prefix = prefix;
    none.topChannel = -1;
    none.digital = false;
    return discoveryConfigs(none);
}

} // namespace front
