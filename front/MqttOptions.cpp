#include "front/MqttOptions.h"

namespace front {

std::optional<QString> parseMqttOptions(const std::function<bool(const char*)>& isSet,
                                        const std::function<QString(const char*)>& value, MqttOptions& out)
{
    if (!isSet(kMqttOption)) {
        for (const char* name : {kMqttCaFileOption, kMqttPasswordFileOption, kMqttClientIdOption, kMqttQosOption,
                                 kMqttControlOption, kMqttDiscoveryOption, kMqttDiscoveryRemoveOption}) {
            if (isSet(name))
                return QStringLiteral("--%1 needs --mqtt URL").arg(QLatin1String(name));
        }
        return std::nullopt;
    }
    const mqtt::UrlParse url = mqtt::parseUrl(value(kMqttOption));
    if (!url.endpoint)
        return QStringLiteral("--mqtt: %1").arg(url.error);
    out.enabled = true;
    out.endpoint = *url.endpoint;
    if (isSet(kMqttCaFileOption)) {
        if (!out.endpoint.tls)
            return QStringLiteral("--mqtt-cafile is for mqtts:// URLs");
        out.caFile = value(kMqttCaFileOption);
        if (out.caFile.isEmpty())
            return QStringLiteral("--mqtt-cafile needs a file name");
    }
    if (isSet(kMqttPasswordFileOption)) {
        out.passwordFile = value(kMqttPasswordFileOption);
        if (out.passwordFile.isEmpty())
            return QStringLiteral("--mqtt-password-file needs a file name");
        if (out.endpoint.user.isEmpty())
            return QStringLiteral("a password needs a user name in the URL: mqtt://USER@HOST/PREFIX");
    }
    if (isSet(kMqttClientIdOption)) {
        out.clientId = value(kMqttClientIdOption);
        if (out.clientId.isEmpty() || out.clientId.toUtf8().size() > 256)
            return QStringLiteral("--mqtt-client-id must be 1 to 256 bytes");
    }
    if (isSet(kMqttQosOption)) {
        const QString q = value(kMqttQosOption);
        if (q != QLatin1String("0") && q != QLatin1String("1"))
            return QStringLiteral("--mqtt-qos must be 0 or 1, not '%1'").arg(q);
        out.qos = q.toInt();
    }
    out.control = isSet(kMqttControlOption);
    out.discovery = isSet(kMqttDiscoveryOption);
    out.discoveryRemove = isSet(kMqttDiscoveryRemoveOption);
    if (out.discovery && out.discoveryRemove)
        return QStringLiteral("give --mqtt-discovery (announce the bench) or --mqtt-discovery-remove (take it back), not both");
    return std::nullopt;
}

} // namespace front
