// The MQTT connection on a real broker the test starts (Debian's mosquitto on
// a loopback port of its own), against mosquitto_sub and mosquitto_pub as
// the far ends: delivery in order, commands in, the bounded queue while the
// broker is away and the reconnect after it, refusals at the start, TLS.

#include "net/MqttClient.h"
#include "tests/support/MosquittoBroker.h"
#include "tests/support/Wait.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <utility>

using namespace mqtttest;

namespace {

mqtt::ClientSettings settingsFor(const Broker& broker, const QString& prefix, const QString& user = {})
{
    mqtt::ClientSettings s;
    const mqtt::UrlParse url = mqtt::parseUrl(broker.url(prefix, user));
    if (url.endpoint)
        s.endpoint = *url.endpoint;
    s.clientId = QStringLiteral("tst-") + prefix.section(u'/', -1);
    s.willTopic = prefix.toUtf8() + "/status";
    s.willPayload = "offline";
    return s;
}

QByteArray numbered(int i) { return "{\"seq\":" + QByteArray::number(i) + "}"; }

// QoS 1 is "at least once": a message in flight when the broker stopped may
// come again after the reconnect. What matters is which messages arrived, in
// the order they first did.
QList<QByteArray> firstCopies(const QList<QByteArray>& payloads)
{
    QList<QByteArray> out;
    for (const QByteArray& p : payloads)
        if (!out.contains(p))
            out.append(p);
    return out;
}

} // namespace

class TestMqttClient : public QObject {
    Q_OBJECT

private slots:
    void deliversInOrderAndTakesCommands();
    void queueKeepsTheNewestWhileTheBrokerIsAway();
    void refusedAtTheStart();
    void tlsNeedsTheRightAuthority();
};

void TestMqttClient::deliversInOrderAndTakesCommands()
{
    Broker broker;
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/b1/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/b1/probe")));

    mqtt::Client client(settingsFor(broker, QStringLiteral("lab/b1")));
    QVERIFY2(client.openAndWait(5000), qPrintable(client.error()));
    QSignalSpy received(&client, &mqtt::Client::messageReceived);
    client.subscribe("lab/b1/set/#", 1);
    client.publish("lab/b1/status", "online", 1, true);
    for (int i = 1; i <= 500; ++i)
        client.publish("lab/b1/scan", numbered(i), 0);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/b1/scan").size(), 500, 10000);
    const QList<QByteArray> got = watcher.payloads("lab/b1/scan");
    for (int i = 1; i <= 500; ++i)
        QCOMPARE(got[i - 1], numbered(i));
    QCOMPARE(client.dropped(), 0);
    QCOMPARE(broker.retained(QStringLiteral("lab/b1/status")), QByteArray("online"));

    // Subscribed after connecting: the command reaches the client.
    QTRY_VERIFY_WITH_TIMEOUT((broker.publish(QStringLiteral("lab/b1/set/dout"), "on"), received.size() > 0), 5000);
    QCOMPARE(received.first().at(0).toByteArray(), QByteArray("lab/b1/set/dout"));
    QCOMPARE(received.first().at(1).toByteArray(), QByteArray("on"));

    // A clean goodbye replaces the status; the will is not published.
    client.close("lab/b1/status", "offline", 3000);
    QCOMPARE(broker.retained(QStringLiteral("lab/b1/status")), QByteArray("offline"));
}

void TestMqttClient::queueKeepsTheNewestWhileTheBrokerIsAway()
{
    BrokerOptions options;
    options.persistence = true;
    Broker broker(options);
    QVERIFY(broker.ok());
    // A session of its own: what comes while the watcher reconnects waits for it.
    Watcher watcher(broker, QStringLiteral("lab/b2/#"), QStringLiteral("tst-watcher-b2"));
    QVERIFY(watcher.ready(QStringLiteral("lab/b2/probe")));

    mqtt::ClientSettings s = settingsFor(broker, QStringLiteral("lab/b2"));
    s.queueLimit = 5;
    mqtt::Client client(s);
    QVERIFY2(client.openAndWait(5000), qPrintable(client.error()));
    QSignalSpy lost(&client, &mqtt::Client::connectionLost);
    QSignalSpy connected(&client, &mqtt::Client::connected);
    client.publish("lab/b2/status", "online", 1, true);
    client.publish("lab/b2/scan", numbered(1), 1);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/b2/scan").size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(client.published(), 1LL, 5000);   // acknowledged: not sent again

    broker.stop();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
    QCOMPARE(broker.retained(QStringLiteral("lab/b2/status")), QByteArray());   // nobody answers
    for (int i = 2; i <= 13; ++i)
        client.publish("lab/b2/scan", numbered(i), 1);
    QCOMPARE(client.queued(), std::size_t(5));
    QCOMPARE(client.dropped(), 7);
    // Retried after 0.5 s, 1 s, 2 s ...: the delay grows while the broker is away.
    QVERIFY2(testwait::until([&] { return client.retryDelayMs() >= 4000; }, 5000),
             qPrintable(QString::number(client.retryDelayMs())));
    QCOMPARE(connected.size(), 0);

    QVERIFY(broker.start());
    // The will ("offline") was published when the connection broke; the
    // status is "online" again once the client is back.
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(firstCopies(watcher.payloads("lab/b2/scan")).size(), 6, 10000);
    const QList<QByteArray> got = firstCopies(watcher.payloads("lab/b2/scan"));
    QCOMPARE(got.first(), numbered(1));
    QCOMPARE(got.mid(1), (QList<QByteArray>{numbered(9), numbered(10), numbered(11), numbered(12), numbered(13)}));
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(QStringLiteral("lab/b2/status")), QByteArray("online"), 5000);
    QCOMPARE(client.retryDelayMs(), mqtt::kFirstRetryMs);
    QCOMPARE(client.reconnects(), 1);
}

void TestMqttClient::refusedAtTheStart()
{
    BrokerOptions options;
    options.user = QStringLiteral("bench");
    options.password = "right horse";
    Broker broker(options);
    QVERIFY(broker.ok());

    // Nobody on the port: refused at once, not after a timeout, also where a
    // TLS handshake was to follow.
    for (const bool tls : {false, true}) {
        mqtt::ClientSettings s = settingsFor(broker, QStringLiteral("lab/b3"));
        s.endpoint.port = freeLoopbackPort();
        s.endpoint.tls = tls;
        mqtt::Client client(s);
        QElapsedTimer t;
        t.start();
        QVERIFY(!client.openAndWait(5000));
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(client.error().contains(QLatin1String("cannot reach")), qPrintable(client.error()));
    }
    // The wrong password, and none: the broker says no, and the reason shows.
    for (const std::optional<QByteArray>& password : {std::optional<QByteArray>("wrong"), std::optional<QByteArray>()}) {
        mqtt::ClientSettings s = settingsFor(broker, QStringLiteral("lab/b3"), QStringLiteral("bench"));
        s.password = password;
        mqtt::Client client(s);
        QVERIFY(!client.openAndWait(5000));
        QVERIFY2(client.error().contains(QLatin1String("refused")) && client.error().contains(QLatin1String("authori")),
                 qPrintable(client.error()));
    }
    mqtt::ClientSettings s = settingsFor(broker, QStringLiteral("lab/b3"), QStringLiteral("bench"));
    s.password = QByteArray("right horse");
    mqtt::Client client(s);
    QVERIFY2(client.openAndWait(5000), qPrintable(client.error()));
}

void TestMqttClient::tlsNeedsTheRightAuthority()
{
    BrokerOptions options;
    options.tls = true;
    Broker broker(options);
    QVERIFY(broker.ok());
    Watcher watcher(broker, QStringLiteral("lab/b4/#"));
    QVERIFY(watcher.ready(QStringLiteral("lab/b4/probe")));

    {
        // The system's authorities (on Windows the list beside the program)
        // do not know the test's own.
        mqtt::Client client(settingsFor(broker, QStringLiteral("lab/b4")));
        QVERIFY(!client.openAndWait(5000));
        QVERIFY2(client.error().contains(QLatin1String("certificate verify failed")), qPrintable(client.error()));
    }
    mqtt::ClientSettings s = settingsFor(broker, QStringLiteral("lab/b4"));
    s.caFile = broker.caFile();
    mqtt::Client client(s);
    QVERIFY2(client.openAndWait(5000), qPrintable(client.error()));
    client.publish("lab/b4/scan", numbered(1), 0);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.payloads("lab/b4/scan"), QList<QByteArray>{numbered(1)}, 5000);

    // The certificate is checked against the name given, not against the
    // address the name was looked up to (the same broker here). Where
    // localhost is also ::1, the broker is not there: the next address is.
    options.serverNames = "DNS:localhost";
    Broker named(options);
    QVERIFY(named.ok());
    for (const auto& [host, accepted] : {std::pair{"localhost", true}, std::pair{"127.0.0.1", false}}) {
        mqtt::ClientSettings byName = settingsFor(named, QStringLiteral("lab/b5"));
        byName.endpoint.host = QLatin1String(host);
        byName.caFile = named.caFile();
        mqtt::Client other(byName);
        QCOMPARE(other.openAndWait(5000), accepted);
        if (!accepted)
            QVERIFY2(other.error().contains(QLatin1String("certificate verify failed")), qPrintable(other.error()));
    }
}

QTEST_GUILESS_MAIN(TestMqttClient)
#include "tst_mqttclient.moc"
