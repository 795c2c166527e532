#pragma once

// A mosquitto broker of the test's own: Debian's /usr/sbin/mosquitto on a
// free loopback port, with its configuration, password file, certificates
// and persistence in a temporary folder. Never the machine's own service,
// never port 1883. Stopped (and started again) by the test; killed with it.
//
// MqttWatcher is an independent subscriber, mosquitto_sub, whose lines
// ("topic payload") the test reads.

#include "tests/support/HostRig.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace mqtttest {

using hostrig::accepts;
using hostrig::freeLoopbackPort;

inline const QString kBrokerProgram = QStringLiteral("/usr/sbin/mosquitto");
inline constexpr int kBrokerStartMs = 10000;

// A program of the machine run to its end, successfully.
inline bool run(const QString& program, const QStringList& args, const QString& dir = {})
{
    const hostrig::RunResult r = hostrig::run(program, args, dir);
    if (!r.ok())
        qWarning() << program << args << r.errors;
    return r.ok();
}

// With a password file, the test's own clients log in as this user, so that
// the bench's password is on no command line, not even a test's.
inline constexpr const char* kWatcherUser = "watcher";
inline constexpr const char* kWatcherPassword = "watcher-password";

struct BrokerOptions {
    QString user;              // with password: a password file, no anonymous clients
    QByteArray password;
    bool tls = false;          // a CA and a server certificate, made here, for:
    QByteArray serverNames = "IP:127.0.0.1,DNS:localhost";
    bool persistence = false;  // sessions and queued messages kept across a restart
};

class Broker {
public:
    explicit Broker(const BrokerOptions& options = {})
        : m_options(options)
    {
        m_port = freeLoopbackPort();
        const QString d = m_dir.path();
        // The broker's own view of the folder (under Wine, the Unix path).
        const QByteArray h = QFile::encodeName(m_hostDir);
        m_ok = !m_hostDir.isEmpty();
        QByteArray conf = "per_listener_settings false\n";
        // As root it would switch to the user mosquitto, who cannot read the
        // test's private folder; as anyone else the line changes nothing.
        conf += "user root\n";
        conf += "listener " + QByteArray::number(m_port) + " 127.0.0.1\n";
        conf += "log_dest file " + h + "/broker.log\n";
        conf += "log_type all\nqueue_qos0_messages true\nmax_queued_messages 100000\n";
        if (options.persistence) {
            conf += "persistence true\npersistence_location " + h + "/\n";
            conf += "autosave_interval 1\n";
        }
        if (!options.user.isEmpty()) {
            QFile plain(d + QStringLiteral("/passwords"));
            if (plain.open(QIODevice::WriteOnly))
                plain.write(options.user.toUtf8() + ':' + options.password + '\n' + kWatcherUser + ':'
                            + kWatcherPassword + '\n');
            plain.close();
            // Hashed in place: the password is never on a command line.
            m_ok = m_ok && run(QStringLiteral("mosquitto_passwd"), {QStringLiteral("-U"), m_hostDir + QStringLiteral("/passwords")});
            conf += "allow_anonymous false\npassword_file " + h + "/passwords\n";
        } else {
            conf += "allow_anonymous true\n";
        }
        if (options.tls) {
            m_ok = m_ok && makeCertificates();
            conf += "cafile " + h + "/ca.crt\ncertfile " + h + "/server.crt\nkeyfile " + h + "/server.key\n";
        }
        QFile f(configFile());
        m_ok = m_ok && f.open(QIODevice::WriteOnly) && f.write(conf) == conf.size();
        f.close();
        m_ok = m_ok && m_port > 0 && start();
    }
    ~Broker() { stop(); }
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    bool ok() const { return m_ok; }
    int port() const { return m_port; }
    qint64 pid() const { return m_process.pid(); }
    QString caFile() const { return m_dir.path() + QStringLiteral("/ca.crt"); }
    QString configFile() const { return m_dir.path() + QStringLiteral("/mosquitto.conf"); }
    QString url(const QString& prefix, const QString& user = {}) const
    {
        return QLatin1String(m_options.tls ? "mqtts://" : "mqtt://") + (user.isEmpty() ? QString() : user + u'@')
            + QStringLiteral("127.0.0.1:%1/").arg(m_port) + prefix;
    }
    QByteArray log() const
    {
        QFile f(m_dir.path() + QStringLiteral("/broker.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool start()
    {
        return m_process.start(kBrokerProgram, {QStringLiteral("-c"), m_hostDir + QStringLiteral("/mosquitto.conf")}, true)
            && QTest::qWaitFor([this] { return accepts(m_port); }, kBrokerStartMs);
    }
    // SIGTERM: the broker closes every connection and saves what it keeps.
    void stop() { m_process.stop(); }

    // Plain mosquitto_pub / mosquitto_sub arguments to reach this broker.
    QStringList clientArgs() const
    {
        QStringList a{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port)};
        if (m_options.tls)
            a += {QStringLiteral("--cafile"), m_hostDir + QStringLiteral("/ca.crt")};
        if (!m_options.user.isEmpty())
            a += {QStringLiteral("-u"), QLatin1String(kWatcherUser), QStringLiteral("-P"), QLatin1String(kWatcherPassword)};
        return a;
    }

    bool publish(const QString& topic, const QByteArray& payload, bool retain = false) const
    {
        QStringList a = clientArgs();
        a += {QStringLiteral("-t"), topic, QStringLiteral("-m"), QString::fromUtf8(payload), QStringLiteral("-q"),
              QStringLiteral("1")};
        if (retain)
            a += QStringLiteral("-r");
        return run(QStringLiteral("mosquitto_pub"), a);
    }

    // The retained message of a topic, or an empty text when none comes.
    QByteArray retained(const QString& topic) const
    {
        QStringList a = clientArgs();
        a += {QStringLiteral("-t"), topic, QStringLiteral("-C"), QStringLiteral("1"), QStringLiteral("-W"),
              QStringLiteral("2"), QStringLiteral("--retained-only")};
        return hostrig::run(QStringLiteral("mosquitto_sub"), a, {}, 5000).output.trimmed();
    }

private:
    bool makeCertificates()
    {
        const QString d = m_dir.path();
        const QString& h = m_hostDir;
        const QString openssl = QStringLiteral("openssl");
        return run(openssl, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                             QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                             QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=Test lab CA"),
                             QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                             QStringLiteral("ca.crt")}, h)
            && run(openssl, {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                             QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                             QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                             QStringLiteral("server.csr")}, h)
            && writeText(d + QStringLiteral("/san.ext"), "subjectAltName=" + m_options.serverNames + '\n')
            && run(openssl, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                             QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.crt"),
                             QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                             QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                             QStringLiteral("san.ext"), QStringLiteral("-out"), QStringLiteral("server.crt")}, h);
    }
    static bool writeText(const QString& path, const QByteArray& text)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    }

    BrokerOptions m_options;
    QTemporaryDir m_dir;
    QString m_hostDir = hostrig::hostPath(m_dir.path());
    int m_port = 0;
    bool m_ok = true;
    hostrig::HostProgram m_process;
};

// mosquitto_sub on a topic filter, its lines collected as they come. With a
// session id its subscription outlives a broker restart (the broker needs
// persistence for that).
class Watcher {
public:
    Watcher(const Broker& broker, const QString& filter, const QString& sessionId = {})
        : m_broker(broker)
        , m_filter(filter)
    {
        QStringList a = broker.clientArgs();
        a += {QStringLiteral("-t"), filter, QStringLiteral("-v"), QStringLiteral("-q"), QStringLiteral("1")};
        if (!sessionId.isEmpty())
            a += {QStringLiteral("-c"), QStringLiteral("-i"), sessionId};
        m_process.start(QStringLiteral("mosquitto_sub"), a, false);
    }

    // Until a probe published under the filter comes back: then the
    // subscription is in place.
    bool ready(const QString& probeTopic)
    {
        for (int i = 0; i < 50; ++i) {
            const QByteArray mark = "probe-" + QByteArray::number(i);
            if (!m_broker.publish(probeTopic, mark))
                return false;
            if (QTest::qWaitFor([&] { return containsLine(probeTopic.toUtf8() + ' ' + mark); }, 200))
                return true;
        }
        return false;
    }

    QList<QByteArray> lines()
    {
        m_buffer += m_process.readOutput();
        QList<QByteArray> all = m_buffer.split('\n');
        all.removeLast();   // an unfinished line, or the empty tail
        return all;
    }
    // Payloads of one topic, in order.
    QList<QByteArray> payloads(const QByteArray& topic)
    {
        QList<QByteArray> out;
        for (const QByteArray& line : lines())
            if (line.startsWith(topic + ' '))
                out += line.mid(topic.size() + 1);
        return out;
    }
    bool containsLine(const QByteArray& line) { return lines().contains(line); }

private:
    const Broker& m_broker;
    QString m_filter;
    hostrig::HostProgram m_process;
    QByteArray m_buffer;
};

} // namespace mqtttest
