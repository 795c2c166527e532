#include "net/HostLookup.h"

#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>

#include <mutex>
#include <vector>

namespace mqtt {

namespace {

// How often the loop looks for the answer while a lookup is under way, ms.
constexpr int kPollMs = 20;

} // namespace

// What getaddrinfo_a reads and writes until the lookup is over: it must
// outlive a lookup given up while glibc still works on it.
struct HostLookup::Request {
    QByteArray host;
    addrinfo hints{};
    gaicb request{};
    gaicb* list[1] = {&request};
    int notStarted = 0;   // getaddrinfo_a's own failure

    ~Request()
    {
        if (request.ar_result)
            freeaddrinfo(request.ar_result);
    }
};

namespace {

// Lookups given up while glibc still works on them: freed once it is done.
// Never destroyed: glibc may still write to them while the process exits.
std::mutex abandonedMutex;
std::vector<std::unique_ptr<HostLookup::Request>>& abandoned()
{
    static auto* list = new std::vector<std::unique_ptr<HostLookup::Request>>;
    return *list;
}

} // namespace

HostLookup::HostLookup(QObject* parent)
    : QObject(parent)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &HostLookup::check);
}

HostLookup::~HostLookup() { abandon(); }

void HostLookup::start(const QByteArray& host)
{
    abandon();
    auto r = std::make_unique<Request>();
    r->host = host;
    r->hints.ai_family = AF_UNSPEC;
    r->hints.ai_socktype = SOCK_STREAM;
    r->request.ar_name = r->host.constData();
    r->request.ar_request = &r->hints;
    sigevent none{};
    none.sigev_notify = SIGEV_NONE;
    // Not even started (no memory, no thread): said like any failure.
    r->notStarted = getaddrinfo_a(GAI_NOWAIT, r->list, 1, &none);
    m_request = std::move(r);
    m_poll.start();
}

void HostLookup::check()
{
    const int rc = m_request->notStarted ? m_request->notStarted : gai_error(&m_request->request);
    if (rc == EAI_INPROGRESS)
        return;
    m_poll.stop();
    const std::unique_ptr<Request> r = std::move(m_request);
    Answer answer;
    if (rc != 0) {
        answer.unknown = rc == EAI_NONAME;
        answer.error = QString::fromLocal8Bit(gai_strerror(rc));
    } else {
        for (const addrinfo* a = r->request.ar_result; a; a = a->ai_next) {
            char text[NI_MAXHOST];
            if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0
                && !answer.addresses.contains(text))
                answer.addresses.append(text);
        }
        if (answer.addresses.isEmpty())
            answer.error = QStringLiteral("no address");
    }
    emit finished(answer);
}

void HostLookup::abandon()
{
    m_poll.stop();
    if (!m_request)
        return;
    const std::lock_guard lock(abandonedMutex);
    auto& list = abandoned();
    std::erase_if(list, [](const auto& r) { return gai_error(&r->request) != EAI_INPROGRESS; });
    if (!m_request->notStarted && gai_cancel(&m_request->request) == EAI_NOTCANCELED)
        list.push_back(std::move(m_request));
    m_request.reset();
}

} // namespace mqtt
