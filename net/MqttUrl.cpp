#include "net/MqttUrl.h"

#include <QFile>
#include <QRegularExpression>

namespace mqtt {

namespace {

// MQTT 3.1 brokers may refuse longer client ids; newer ones take these too.
constexpr qsizetype kClientIdLength = 64;
constexpr qsizetype kPasswordFileLimit = 4096;

bool isHostChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.'
        || c == u'-' || c == u'_';
}

} // namespace

QString prefixProblem(const QString& prefix)
{
    if (prefix.isEmpty())
        return QStringLiteral("the URL needs a topic prefix after the host, for example mqtt://broker/lab/bench1");
    if (prefix.toUtf8().size() > kMaxPrefixBytes)
        return QStringLiteral("the topic prefix is longer than %1 bytes").arg(kMaxPrefixBytes);
    if (prefix.contains(u'+') || prefix.contains(u'#'))
        return QStringLiteral("the topic prefix may not hold the wildcards + or #");
    if (prefix.startsWith(u'/') || prefix.endsWith(u'/') || prefix.contains(QLatin1String("//")))
        return QStringLiteral("the topic prefix has an empty level (a leading, trailing or double /)");
    for (QChar c : prefix)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("the topic prefix holds a control character");
    return {};
}

QString urlText(const Endpoint& endpoint, bool withUserAndPort)
{
    QString text = QLatin1String(endpoint.tls ? "mqtts://" : "mqtt://");
    if (withUserAndPort && !endpoint.user.isEmpty())
        text += endpoint.user + u'@';
    text += endpoint.host.contains(u':') ? u'[' + endpoint.host + u']' : endpoint.host;
    if (withUserAndPort)
        text += u':' + QString::number(endpoint.port);
    return text + u'/' + endpoint.prefix;
}

UrlParse parseUrl(const QString& url)
{
    UrlParse result;
    Endpoint e;
    QString rest;
    if (url.startsWith(QLatin1String("mqtt://"))) {
        rest = url.mid(7);
    } else if (url.startsWith(QLatin1String("mqtts://"))) {
        e.tls = true;
        e.port = kTlsPort;
        rest = url.mid(8);
    } else {
        result.error = QStringLiteral("the broker URL must start with mqtt:// or mqtts://");
        return result;
    }
    const qsizetype slash = rest.indexOf(u'/');
    QString authority = slash < 0 ? rest : rest.left(slash);
    e.prefix = slash < 0 ? QString() : rest.mid(slash + 1);

    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        e.user = authority.left(at);
        authority = authority.mid(at + 1);
        if (e.user.contains(u':')) {
            result.error = QStringLiteral("no password in the URL: set %1 or use --mqtt-password-file")
                               .arg(QLatin1String(kPasswordVariable));
            return result;
        }
        if (e.user.isEmpty()) {
            result.error = QStringLiteral("the user name before @ is empty");
            return result;
        }
    }

    QString portText;
    if (authority.startsWith(u'[')) {   // [::1]:1883
        const qsizetype close = authority.indexOf(u']');
        if (close < 0) {
            result.error = QStringLiteral("the host's [ has no ]");
            return result;
        }
        e.host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':')) {
                result.error = QStringLiteral("unexpected text after the host's ]");
                return result;
            }
            portText = after.mid(1);
        }
        for (QChar c : e.host)
            if (!(c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u':' || c == u'.')) {
                result.error = QStringLiteral("\"%1\" is not an IPv6 address").arg(e.host);
                return result;
            }
    } else {
        const qsizetype colon = authority.indexOf(u':');
        e.host = colon < 0 ? authority : authority.left(colon);
        if (colon >= 0)
            portText = authority.mid(colon + 1);
        for (QChar c : e.host)
            if (!isHostChar(c)) {
                result.error = QStringLiteral("the broker's host name \"%1\" holds a character a host name cannot").arg(e.host);
                return result;
            }
    }
    if (e.host.isEmpty()) {
        result.error = QStringLiteral("the URL names no broker host");
        return result;
    }
    if (!portText.isNull()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535 || portText.startsWith(u'+')) {
            result.error = QStringLiteral("the broker port must be 1 to 65535, not \"%1\"").arg(portText);
            return result;
        }
        e.port = port;
    }
    if (const QString problem = prefixProblem(e.prefix); !problem.isEmpty()) {
        result.error = problem;
        return result;
    }
    result.endpoint = e;
    return result;
}

QString defaultClientId(const QString& program, const QString& hostName, const QString& prefix)
{
    QString id = program + u'-' + hostName + u'-' + prefix;
    static const QRegularExpression kOther(QStringLiteral("[^A-Za-z0-9_.-]"));
    id.replace(kOther, QStringLiteral("-"));
    // The end of the prefix tells benches apart more often than its start.
    if (id.size() > kClientIdLength)
        id = id.left(kClientIdLength / 2) + id.right(kClientIdLength / 2);
    return id;
}

PasswordRead readPassword(const QString& passwordFile)
{
    PasswordRead result;
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            result.error = QStringLiteral("cannot read the password file %1: %2").arg(passwordFile, file.errorString());
            return result;
        }
        QByteArray text = file.read(kPasswordFileLimit);
        const qsizetype end = text.indexOf('\n');
        if (end >= 0)
            text.truncate(end);
        if (text.endsWith('\r'))
            text.chop(1);
        result.password = text;
        return result;
    }
    if (qEnvironmentVariableIsSet(kPasswordVariable))
        result.password = qgetenv(kPasswordVariable);
    return result;
}

} // namespace mqtt
