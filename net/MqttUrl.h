#pragma once

// Where a bench publishes: mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://...,
// PREFIX being one or more topic levels (lab/bench1). Passwords never come
// from the URL or the command line: from the environment or a file only, so
// that they do not show in the process list.

#include <QByteArray>
#include <QString>
#include <optional>

namespace mqtt {

inline constexpr int kPlainPort = 1883;
inline constexpr int kTlsPort = 8883;
// Longest prefix accepted; the topics under it add at most a dozen bytes.
inline constexpr int kMaxPrefixBytes = 200;
inline constexpr const char* kPasswordVariable = "ZOLTCTL_MQTT_PASSWORD";

struct Endpoint {
    bool tls = false;
    QString user;     // empty: no user name sent
    QString host;     // name or address, without brackets
    int port = kPlainPort;
    QString prefix;   // "lab/bench1": no leading or trailing '/', no wildcards
};

struct UrlParse {
    std::optional<Endpoint> endpoint;
    QString error;   // one line, when endpoint is empty
};

UrlParse parseUrl(const QString& url);
// The endpoint as a URL parseUrl() takes back: mqtt[s]://HOST/PREFIX, or with
// the user and the port as well, mqtt[s]://[USER@]HOST:PORT/PREFIX. An IPv6
// address stands in brackets.
QString urlText(const Endpoint& endpoint, bool withUserAndPort);

// An empty text when the prefix can stand before "/scan" as a topic name.
QString prefixProblem(const QString& prefix);

// "zoltctl-HOSTNAME-lab-bench1", cut to a length every broker takes.
QString defaultClientId(const QString& program, const QString& hostName, const QString& prefix);

struct PasswordRead {
    std::optional<QByteArray> password;   // empty optional: none given
    QString error;                        // the file could not be read
};

// From the file when one is named (its first line), else from the
// environment variable; neither: no password.
PasswordRead readPassword(const QString& passwordFile);

} // namespace mqtt
