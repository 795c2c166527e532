#pragma once

// An MQTT connection on the Qt event loop, with no thread of its own:
// libmosquitto's socket is watched with QSocketNotifier (reading always,
// writing while it has bytes to send) and its keep-alive runs from a timer.
//
// The broker's host name is looked up here, asynchronously (HostLookup), and
// libmosquitto is given an address: its own lookup would block the event
// loop for as long as the resolver takes, at the start and at every
// reconnect. The addresses are tried in turn. TLS verifies the certificate
// and sends the server name (SNI) for the name given, not for the address.
//
// Messages published while the broker is away wait in a bounded queue and go
// out, oldest first, after reconnecting; when the queue is full the oldest is
// dropped and counted. Retained messages (status, meta) are not queued: the
// latest of each topic is kept and published again on every connect, ahead
// of the queue, so that the broker's copy replaces the will it published
// when the connection broke. Reconnecting waits 0.5 s, then twice as long
// after each failure, up to 30 s.

#include "net/HostLookup.h"
#include "net/MqttUrl.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <map>
#include <set>
#include <memory>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace mqtt {

// Scans kept while the broker is away: 8192 messages, over 60 s of the
// fastest sampling (about 47 scans a second, all channels, 9600 baud) and
// about 3 MB of JSON at most.
inline constexpr std::size_t kDefaultQueueLimit = 8192;
inline constexpr int kFirstRetryMs = 500;
inline constexpr int kLongestRetryMs = 30'000;

struct ClientSettings {
    Endpoint endpoint;
    std::optional<QByteArray> password;
    QString caFile;            // mqtts: the authority to trust; empty for the system's (on Windows, the list beside the program)
    QString clientId;
    int keepAliveS = 30;
    std::size_t queueLimit = kDefaultQueueLimit;
    // A first connection that fails is tried again, as a lost one is, rather
    // than given up (refused() still says why each time).
    bool keepTrying = false;
    // Published by the broker when the connection breaks without a goodbye.
    QByteArray willTopic;      // empty: none
    QByteArray willPayload;
};

class Client : public QObject {
    Q_OBJECT

public:
    explicit Client(ClientSettings settings, QObject* parent = nullptr);
    ~Client() override;

    // Starts the first connection (the name's lookup, then the connection)
    // from the event loop; connected() or refused() follows. False (with the
    // reason in error()) when it cannot even start: a bad CA file, say.
    bool open();
    // Waits on a local event loop until the first connection is accepted or
    // refused, at most timeoutMs; false with the reason in error().
    bool openAndWait(int timeoutMs);

    // QoS 0 or 1. Queued while disconnected; retained ones kept per topic.
    void publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain = false);
    // Subscribed now and again after every reconnect.
    void subscribe(const QByteArray& filter, int qos);

    // Sends what is queued (up to timeoutMs), then publishes the retained
    // goodbye, then disconnects so that the will is not published.
    void close(const QByteArray& goodbyeTopic, const QByteArray& goodbyePayload, int timeoutMs);

    bool isConnected() const { return m_connected; }
    const QString& error() const { return m_error; }
    long long dropped() const { return m_dropped; }
    std::size_t queued() const { return m_queue.size(); }
    long long published() const { return m_published; }   // handed to the socket (QoS 0) or acknowledged (QoS 1)
    // QoS 0 messages handed to the socket's buffers when the connection broke.
    long long lostOnBreak() const { return m_lostOnBreak; }
    int reconnects() const { return m_reconnects; }
    int retryDelayMs() const { return m_retryMs; }

signals:
    void connected();
    // The first connection failed, or the broker said no; the reason is one line.
    void refused(const QString& reason);
    void connectionLost(const QString& reason);
    void messageReceived(const QByteArray& topic, const QByteArray& payload);

private:
    struct Pending {
        QByteArray topic;
        QByteArray payload;
        int qos = 0;
    };

    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    bool configure();
    bool configureTls();
    // A new lookup of the broker's name (or its address at once), then the
    // connection to the first address.
    void connectAnew();
    void lookedUp(const HostLookup::Answer& answer);
    // The connection to the next address of the last lookup; when none is
    // left, the attempt is over for the last reason.
    void tryNextAddress(QString reason);
    // No address took the connection: refused() for a first one, then
    // another attempt after the back-off unless it is given up.
    void attemptOver(const QString& reason);
    void abortLookup();
    QString brokerText() const;
    void watchSocket();
    void unwatchSocket();
    void readReady();
    bool connectFailed();
    bool pendingConnectFailed();
    void writeReady();
    void housekeeping();
    void updateWriteWatch();
    void failed(int rc, const char* where);
    // The socket is gone: the next address, or another attempt later.
    void broke(const QString& reason);
    void scheduleRetry();
    void retry();
    void flush();
    void afterConnect(int rc);
    // After mosquitto_publish gave the id: in flight, or done already.
    void track(int mid, int qos, bool queued);
    int publishNow(const QByteArray& topic, const QByteArray& payload, int qos, bool retain, bool queued);
    QString describe(int rc) const;

    ClientSettings m_settings;
    mosquitto* m_mosq = nullptr;
    std::unique_ptr<QSocketNotifier> m_read;
    std::unique_ptr<QSocketNotifier> m_write;
    QTimer m_misc;
    QTimer m_retry;
    std::deque<Pending> m_queue;
    std::map<QByteArray, Pending> m_retained;
    std::map<QByteArray, int> m_subscriptions;
    bool m_everConnected = false;
    bool m_connected = false;
    bool m_closing = false;
    bool m_openFailed = false;
    HostLookup m_lookup;
    QList<QByteArray> m_addresses;        // of the last lookup, as text
    qsizetype m_nextAddress = 0;          // the one to try after the present
    // Queued messages handed to libmosquitto, not yet written (QoS 0) or
    // acknowledged (QoS 1): message id -> QoS.
    std::map<int, int> m_inFlight;
    // Ids whose publish callback came inside mosquitto_publish, before the
    // id was known here (a message written at once).
    std::set<int> m_doneEarly;
    int m_retryMs = kFirstRetryMs;
    int m_reconnects = 0;
    long long m_dropped = 0;
    long long m_published = 0;
    long long m_lostOnBreak = 0;
    int m_goodbyeMid = -1;
    bool m_goodbyeSent = false;
    QString m_error;
    QString m_lastLogError;
};

} // namespace mqtt
