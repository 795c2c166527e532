#include "net/MqttClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>

#include <mosquitto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace mqtt {

namespace {

// Messages handed to libmosquitto and not yet written (QoS 0) or
// acknowledged (QoS 1); the rest wait in the bounded queue, so that a slow
// broker cannot grow libmosquitto's own lists without limit.
constexpr int kWindow = 100;
constexpr int kHousekeepingMs = 1000;

#ifdef Q_OS_WIN
// OpenSSL on Windows reads no system certificate store (libmosquitto's "OS
// certificates" are OpenSSL's default folder, which Windows does not have):
// the packages ship the common CA list beside the programs instead.
QString shippedCaFile()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ca-certificates.crt");
}
#endif

void initialiseOnce()
{
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)done;
}

QByteArray utf8(const QString& text) { return text.toUtf8(); }

// libmosquitto names the address it connects to in the TLS server name;
// before the first handshake message is written, the name the certificate
// is checked against goes there instead.
void sendServerName(const SSL* constSsl, int where, int)
{
    if (!(where & SSL_CB_HANDSHAKE_START))
        return;
    SSL* ssl = const_cast<SSL*>(constSsl);
    if (const char* name = X509_VERIFY_PARAM_get0_host(SSL_get0_param(ssl), 0))
        SSL_set_tlsext_host_name(ssl, name);
}

bool isAddress(const QByteArray& host)
{
    in6_addr buffer{};
    return inet_pton(AF_INET, host.constData(), &buffer) == 1 || inet_pton(AF_INET6, host.constData(), &buffer) == 1;
}

// The calling thread's last socket error, and what it means.
#ifdef Q_OS_WIN
constexpr int kNotConnected = WSAENOTCONN;
int lastSocketError() { return WSAGetLastError(); }
QString socketErrorText(int error)
{
    wchar_t* text = nullptr;
    const DWORD size = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                          | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                      nullptr);
    const QString result = size ? QString::fromWCharArray(text, static_cast<qsizetype>(size)).trimmed()
                                : QStringLiteral("socket error %1").arg(error);
    LocalFree(text);
    return result;
}
#else
constexpr int kNotConnected = ENOTCONN;
int lastSocketError() { return errno; }
QString socketErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
#endif

QString openSslReason()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    const char* reason = code ? ERR_reason_error_string(code) : nullptr;
    return reason ? QString::fromUtf8(reason) : QStringLiteral("unknown reason");
}

} // namespace

Client::Client(ClientSettings settings, QObject* parent)
    : QObject(parent)
    , m_settings(std::move(settings))
{
    initialiseOnce();
    m_misc.setInterval(kHousekeepingMs);
    connect(&m_misc, &QTimer::timeout, this, &Client::housekeeping);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &Client::retry);
    connect(&m_lookup, &HostLookup::finished, this, &Client::lookedUp);
}

Client::~Client()
{
    m_read.reset();
    m_write.reset();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

bool Client::configure()
{
    const QByteArray id = utf8(m_settings.clientId);
    m_mosq = mosquitto_new(id.constData(), true, this);
    if (!m_mosq) {
        m_error = QStringLiteral("cannot set up the MQTT client: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &Client::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &Client::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &Client::onPublish);
    mosquitto_message_callback_set(m_mosq, &Client::onMessage);
    mosquitto_log_callback_set(m_mosq, &Client::onLog);

    const Endpoint& e = m_settings.endpoint;
    if (!e.user.isEmpty() || m_settings.password) {
        const QByteArray user = utf8(e.user);
        const QByteArray password = m_settings.password.value_or(QByteArray());
        const int rc = mosquitto_username_pw_set(m_mosq, user.isEmpty() ? nullptr : user.constData(),
                                                 m_settings.password ? password.constData() : nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            m_error = QStringLiteral("the MQTT user name or password is not accepted: %1")
                          .arg(QString::fromUtf8(mosquitto_strerror(rc)));
            return false;
        }
    }
    if (!m_settings.willTopic.isEmpty()) {
        mosquitto_will_set(m_mosq, m_settings.willTopic.constData(), static_cast<int>(m_settings.willPayload.size()),
                           m_settings.willPayload.constData(), 1, true);
    }
    return !e.tls || configureTls();
}

bool Client::configureTls()
{
    // A context of our own, so that the certificate is checked against the
    // broker's name while libmosquitto connects to one of its addresses.
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), &SSL_CTX_free);
    if (!context) {
        m_error = QStringLiteral("cannot set up TLS: %1").arg(openSslReason());
        return false;
    }
    SSL_CTX* ctx = context.get();
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    QString caFile = m_settings.caFile;
#ifdef Q_OS_WIN
    if (caFile.isEmpty()) {
        caFile = shippedCaFile();
        if (!QFile::exists(caFile)) {
            m_error = QStringLiteral("no CA list to check the broker against: give the broker's CA "
                                     "certificate with --mqtt-cafile (%1 is missing)")
                          .arg(QDir::toNativeSeparators(caFile));
            return false;
        }
    }
#endif
    int loaded = 0;
    if (caFile.isEmpty()) {
        loaded = SSL_CTX_set_default_verify_paths(ctx);
    } else {
        if (!QFile::exists(caFile)) {
            m_error = QStringLiteral("the CA file %1 does not exist").arg(caFile);
            return false;
        }
        loaded = SSL_CTX_load_verify_locations(ctx, QFile::encodeName(caFile).constData(), nullptr);
    }
    if (loaded != 1) {
        m_error = QStringLiteral("cannot set up TLS: the authorities to trust do not load: %1").arg(openSslReason());
        return false;
    }
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    const QString& host = m_settings.endpoint.host;
    X509_VERIFY_PARAM* check = SSL_CTX_get0_param(ctx);
    const bool named = isAddress(utf8(host)) ? X509_VERIFY_PARAM_set1_ip_asc(check, utf8(host).constData()) == 1
                                             : X509_VERIFY_PARAM_set1_host(check, utf8(host).constData(), 0) == 1;
    if (!named) {
        m_error = QStringLiteral("cannot set up TLS for the host name %1: %2").arg(host, openSslReason());
        return false;
    }
    SSL_CTX_set_info_callback(ctx, &sendServerName);
    // libmosquitto takes a reference of its own, and leaves the context as
    // it is (its defaults would check the certificate against the address).
    int rc = mosquitto_int_option(m_mosq, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_void_option(m_mosq, MOSQ_OPT_SSL_CTX, ctx);
    if (rc != MOSQ_ERR_SUCCESS) {
        m_error = QStringLiteral("cannot set up TLS: %1").arg(describe(rc));
        return false;
    }
    return true;
}

bool Client::open()
{
    m_error.clear();
    if (!m_mosq && !configure()) {
        m_openFailed = true;
        return false;
    }
    m_misc.start();
    // From the event loop, so that whoever opened the client hears of a
    // refusal that comes at once (nobody on a literal address's port).
    QTimer::singleShot(0, this, &Client::connectAnew);
    return true;
}

void Client::connectAnew()
{
    if (m_closing || m_openFailed)
        return;
    m_addresses.clear();
    m_nextAddress = 0;
    m_lookup.start(utf8(m_settings.endpoint.host));
}

void Client::lookedUp(const HostLookup::Answer& answer)
{
    if (m_closing || m_openFailed)
        return;
    if (answer.addresses.isEmpty()) {
        attemptOver(answer.unknown ? QStringLiteral("its host name is not known")
                                   : QStringLiteral("its host name could not be looked up: %1").arg(answer.error));
        return;
    }
    m_addresses = answer.addresses;
    m_nextAddress = 0;
    tryNextAddress(QString());
}

void Client::tryNextAddress(QString reason)
{
    while (m_nextAddress < m_addresses.size()) {
        const QByteArray address = m_addresses.at(m_nextAddress++);
        errno = 0;
        m_lastLogError.clear();
        const int rc = mosquitto_connect_async(m_mosq, address.constData(), m_settings.endpoint.port,
                                               m_settings.keepAliveS);
        if (rc == MOSQ_ERR_SUCCESS) {
            watchSocket();
            return;
        }
        reason = describe(rc);
    }
    attemptOver(reason);
}

void Client::attemptOver(const QString& reason)
{
    if (m_closing)
        return;
    if (!m_everConnected) {
        // The broker's own refusal, when it gave one, says more.
        if (m_error.isEmpty())
            m_error = QStringLiteral("cannot reach the MQTT broker at %1: %2").arg(brokerText(), reason);
        emit refused(m_error);
        if (!m_settings.keepTrying) {
            m_openFailed = true;
            m_misc.stop();
            return;
        }
    }
    scheduleRetry();
}

QString Client::brokerText() const
{
    return QStringLiteral("%1:%2").arg(m_settings.endpoint.host).arg(m_settings.endpoint.port);
}

bool Client::openAndWait(int timeoutMs)
{
    if (!open())
        return false;
    if (m_connected)
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto a = connect(this, &Client::connected, &loop, &QEventLoop::quit);
    const auto b = connect(this, &Client::refused, &loop, &QEventLoop::quit);
    limit.start(timeoutMs);
    loop.exec();
    disconnect(a);
    disconnect(b);
    if (m_connected)
        return true;
    if (m_error.isEmpty()) {
        m_error = QStringLiteral("no answer from the MQTT broker at %1 within %2 s%3")
                      .arg(brokerText())
                      .arg(timeoutMs / 1000.0)
                      .arg(m_lookup.running() ? QStringLiteral(" (its host name is still being looked up)") : QString());
    }
    m_openFailed = true;
    abortLookup();
    unwatchSocket();
    m_misc.stop();
    m_retry.stop();
    return false;
}

void Client::abortLookup()
{
    m_lookup.abandon();
}

void Client::watchSocket()
{
    const int fd = mosquitto_socket(m_mosq);
    if (fd < 0)
        return;
    m_read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_read.get(), &QSocketNotifier::activated, this, &Client::readReady);
    m_write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(m_write.get(), &QSocketNotifier::activated, this, &Client::writeReady);
    updateWriteWatch();
}

void Client::unwatchSocket()
{
    // Called from inside the notifiers' own handlers too: they go later.
    for (auto* notifier : {&m_read, &m_write}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            notifier->release()->deleteLater();
        }
    }
}

void Client::updateWriteWatch()
{
    if (m_write)
        m_write->setEnabled(mosquitto_want_write(m_mosq));
}

void Client::readReady()
{
    if (!m_connected && connectFailed())
        return;
    errno = 0;
    const int rc = mosquitto_loop_read(m_mosq, 1);
    if (rc != MOSQ_ERR_SUCCESS)
        failed(rc, "read");
    else
        updateWriteWatch();
}

// libmosquitto takes a TLS handshake on a refused connection for one still
// under way and keeps trying it, so the socket reads at once again and again,
// without end. A socket that reads before it is connected has failed.
bool Client::connectFailed()
{
    const int fd = mosquitto_socket(m_mosq);
    int error = 0;
    socklen_t size = sizeof error;
    // Winsock takes the option's buffer as char*.
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        error = lastSocketError();
    if (error == 0) {
        sockaddr_storage peer{};
        socklen_t peerSize = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0)
            return false;
        error = lastSocketError();
    }
    // Where the handshake took the socket's error, the peer's absence is all
    // that is left of it.
    broke(error == kNotConnected ? QStringLiteral("the connection was refused or broken") : socketErrorText(error));
    return true;
}

// A connection refused before the socket was watched: libmosquitto's first
// TLS write took the refusal for a handshake still to come, and Windows
// (Wine, at least) tells of an outcome that came before the watch no more,
// neither as readable nor as the connect's event; the socket still holds it.
bool Client::pendingConnectFailed()
{
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(mosquitto_socket(m_mosq), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0
        || error == 0)
        return false;
    broke(socketErrorText(error));
    return true;
}

void Client::writeReady()
{
    errno = 0;
    const int rc = mosquitto_loop_write(m_mosq, 1);
    if (rc != MOSQ_ERR_SUCCESS)
        failed(rc, "write");
    else
        updateWriteWatch();
}

void Client::housekeeping()
{
    if (!m_read)
        return;
    if (!m_connected && pendingConnectFailed())
        return;
    const int rc = mosquitto_loop_misc(m_mosq);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN)
        failed(rc, "keep-alive");
    else
        updateWriteWatch();
}

void Client::failed(int rc, const char* where)
{
    (void)where;
    if (m_read)
        broke(describe(rc));
}

void Client::broke(const QString& reason)
{
    if (!m_read)
        return;   // already handled, by the disconnect callback say
    unwatchSocket();
    const bool wasConnected = m_connected;
    m_connected = false;
    // QoS 0 messages libmosquitto held are gone with the socket; QoS 1 ones
    // it sends again after reconnecting.
    std::erase_if(m_inFlight, [this](const auto& entry) {
        if (entry.second != 0)
            return false;
        ++m_lostOnBreak;
        return true;
    });
    if (m_closing)
        return;
    if (wasConnected) {
        emit connectionLost(reason);
        scheduleRetry();
        return;
    }
    // This address did not take the connection: the next one may.
    tryNextAddress(reason);
}

void Client::scheduleRetry()
{
    m_retry.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, kLongestRetryMs);
}

void Client::retry()
{
    if (m_closing)
        return;
    if (!m_everConnected)
        m_error.clear();   // each first attempt says its own reason
    // The name is looked up again: the broker may have moved.
    connectAnew();
}

void Client::afterConnect(int rc)
{
    if (rc != 0) {
        const QString reason = QStringLiteral("the MQTT broker at %1:%2 refused the connection: %3")
                                   .arg(m_settings.endpoint.host)
                                   .arg(m_settings.endpoint.port)
                                   .arg(QString::fromUtf8(mosquitto_connack_string(rc)));
        if (!m_everConnected)
            m_error = reason;
        // The broker said no: its other addresses would say the same.
        m_nextAddress = m_addresses.size();
        // libmosquitto closes the socket on its return; failed() follows.
        return;
    }
    if (m_everConnected)
        ++m_reconnects;
    m_everConnected = true;
    m_connected = true;
    m_retryMs = kFirstRetryMs;
    for (const auto& [topic, p] : m_retained)
        (void)publishNow(topic, p.payload, p.qos, true, false);
    for (const auto& [filter, qos] : m_subscriptions)
        mosquitto_subscribe(m_mosq, nullptr, filter.constData(), qos);
    flush();
    emit connected();
}

void Client::flush()
{
    while (m_connected && !m_queue.empty() && static_cast<int>(m_inFlight.size()) < kWindow) {
        const Pending& p = m_queue.front();
        const int rc = publishNow(p.topic, p.payload, p.qos, false, true);
        if (rc == MOSQ_ERR_NO_CONN)
            return;
        if (rc != MOSQ_ERR_SUCCESS)
            ++m_dropped;   // too large for the protocol, say: it never will be sent
        m_queue.pop_front();
    }
}

int Client::publishNow(const QByteArray& topic, const QByteArray& payload, int qos, bool retain, bool queued)
{
    int mid = 0;
    const int rc = mosquitto_publish(m_mosq, &mid, topic.constData(), static_cast<int>(payload.size()),
                                     payload.constData(), qos, retain);
    if (rc == MOSQ_ERR_SUCCESS)
        track(mid, qos, queued);
    return rc;
}

void Client::track(int mid, int qos, bool queued)
{
    const bool done = m_doneEarly.erase(mid) > 0;
    if (!queued)
        return;   // retained: kept per topic and sent again on every connect anyway
    if (done)
        ++m_published;
    else
        m_inFlight[mid] = qos;
}

void Client::publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain)
{
    if (retain) {
        m_retained[topic] = Pending{topic, payload, qos};
        if (m_connected) {
            (void)publishNow(topic, payload, qos, true, false);
            updateWriteWatch();
        }
        return;
    }
    if (m_queue.size() >= m_settings.queueLimit) {
        m_queue.pop_front();
        ++m_dropped;
    }
    m_queue.push_back(Pending{topic, payload, qos});
    if (m_connected) {
        flush();
        updateWriteWatch();
    }
}

void Client::subscribe(const QByteArray& filter, int qos)
{
    m_subscriptions[filter] = qos;
    if (m_connected) {
        mosquitto_subscribe(m_mosq, nullptr, filter.constData(), qos);
        updateWriteWatch();
    }
}

void Client::close(const QByteArray& goodbyeTopic, const QByteArray& goodbyePayload, int timeoutMs)
{
    if (!m_mosq)
        return;
    m_retry.stop();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!m_connected || (m_queue.empty() && m_inFlight.empty()))
            loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (m_connected && (!m_queue.empty() || !m_inFlight.empty())) {
        poll.start();
        limit.start(timeoutMs);
        loop.exec();
    }
    if (m_connected && !goodbyeTopic.isEmpty()) {
        m_retained[goodbyeTopic] = Pending{goodbyeTopic, goodbyePayload, 1};
        const int rc = mosquitto_publish(m_mosq, &m_goodbyeMid, goodbyeTopic.constData(),
                                         static_cast<int>(goodbyePayload.size()), goodbyePayload.constData(), 1, true);
        if (m_doneEarly.erase(m_goodbyeMid) > 0)
            m_goodbyeSent = true;
        updateWriteWatch();
        if (rc == MOSQ_ERR_SUCCESS) {
            QTimer goodbyeLimit;
            goodbyeLimit.setSingleShot(true);
            connect(&goodbyeLimit, &QTimer::timeout, &loop, &QEventLoop::quit);
            QTimer goodbyePoll;
            goodbyePoll.setInterval(5);
            connect(&goodbyePoll, &QTimer::timeout, &loop, [&] {
                if (!m_connected || m_goodbyeSent)
                    loop.quit();
            });
            goodbyeLimit.start(std::max(timeoutMs / 2, 1000));
            goodbyePoll.start();
            loop.exec();
        }
    }
    m_closing = true;
    abortLookup();
    if (m_connected) {
        mosquitto_disconnect(m_mosq);
        // The disconnect packet goes out at once when the socket takes it.
        if (mosquitto_want_write(m_mosq))
            (void)mosquitto_loop_write(m_mosq, 1);
    }
    m_connected = false;
    unwatchSocket();
    m_misc.stop();
}

void Client::onConnect(mosquitto*, void* self, int rc)
{
    static_cast<Client*>(self)->afterConnect(rc);
}

void Client::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* c = static_cast<Client*>(self);
    if (c->m_closing)
        return;
    c->failed(rc == 0 ? MOSQ_ERR_CONN_LOST : rc, "disconnect");
}

void Client::onPublish(mosquitto*, void* self, int mid)
{
    auto* c = static_cast<Client*>(self);
    if (mid == c->m_goodbyeMid)
        c->m_goodbyeSent = true;
    const auto it = c->m_inFlight.find(mid);
    if (it == c->m_inFlight.end()) {
        c->m_doneEarly.insert(mid);
        return;
    }
    c->m_inFlight.erase(it);
    ++c->m_published;
    c->flush();
}

void Client::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* c = static_cast<Client*>(self);
    emit c->messageReceived(QByteArray(message->topic),
                            QByteArray(static_cast<const char*>(message->payload), message->payloadlen));
}

void Client::onLog(mosquitto*, void* self, int level, const char* text)
{
    // OpenSSL's reasons reach us only through the log.
    if (level & MOSQ_LOG_ERR)
        static_cast<Client*>(self)->m_lastLogError = QString::fromUtf8(text);
}

QString Client::describe(int rc) const
{
    QString text = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                        : QString::fromUtf8(mosquitto_strerror(rc));
    if (!m_lastLogError.isEmpty())
        text += QStringLiteral(" (%1)").arg(m_lastLogError);
    return text;
}

} // namespace mqtt
