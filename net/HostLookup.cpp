#include "net/HostLookup.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>
#endif

#include <mutex>
#include <string>
#include <vector>

#ifdef Q_OS_WIN
// In ws2_32 since Windows 8, but not declared by MinGW-w64's headers.
extern "C" WINSOCK_API_LINKAGE INT WSAAPI GetAddrInfoExOverlappedResult(LPOVERLAPPED overlapped);
#endif

namespace mqtt {

namespace {

// How often the loop looks for the answer while a lookup is under way, ms.
constexpr int kPollMs = 20;

} // namespace

#ifdef Q_OS_WIN

namespace {

constexpr int kInProgress = WSA_IO_PENDING;
constexpr int kUnknownName = WSAHOST_NOT_FOUND;

void startWinsockOnce()
{
    // Never cleaned up: lookups given up may still be running at exit.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

} // namespace

// What GetAddrInfoExW reads and writes until the lookup is over: it must
// outlive a lookup given up while Windows still works on it (a lookup given
// up is left to end by itself, not cancelled). The OVERLAPPED's event says
// when it is over; a failure to start is the immediate answer.
struct HostLookup::Request {
    std::wstring host;
    ADDRINFOEXW hints{};
    ADDRINFOEXW* result = nullptr;
    OVERLAPPED overlapped{};
    int immediate = kInProgress;   // the answer when the call gave one at once

    Request() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Request()
    {
        if (result)
            FreeAddrInfoExW(result);
        if (overlapped.hEvent)
            CloseHandle(overlapped.hEvent);
    }

    void begin(const QByteArray& name)
    {
        startWinsockOnce();
        if (!overlapped.hEvent) {
            immediate = static_cast<int>(GetLastError());
            return;
        }
        host = QString::fromUtf8(name).toStdWString();
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        immediate = GetAddrInfoExW(host.c_str(), nullptr, NS_DNS, nullptr, &hints, &result, nullptr, &overlapped,
                                   nullptr, nullptr);
    }
    int status() const
    {
        if (immediate != kInProgress)
            return immediate;
        if (WaitForSingleObject(overlapped.hEvent, 0) != WAIT_OBJECT_0)
            return kInProgress;
        return GetAddrInfoExOverlappedResult(const_cast<OVERLAPPED*>(&overlapped));
    }
    bool cancel() { return status() != kInProgress; }
    const ADDRINFOEXW* first() const { return result; }
    // MinGW-w64's header spells the link's struct tag differently (addrinfoexW).
    static const ADDRINFOEXW* next(const ADDRINFOEXW* a) { return reinterpret_cast<const ADDRINFOEXW*>(a->ai_next); }
    static QString describe(int rc) { return QString::fromWCharArray(gai_strerrorW(rc)).trimmed(); }
};

#else

namespace {

constexpr int kInProgress = EAI_INPROGRESS;
constexpr int kUnknownName = EAI_NONAME;

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

    void begin(const QByteArray& name)
    {
        host = name;
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        request.ar_name = host.constData();
        request.ar_request = &hints;
        sigevent none{};
        none.sigev_notify = SIGEV_NONE;
        // Not even started (no memory, no thread): said like any failure.
        notStarted = getaddrinfo_a(GAI_NOWAIT, list, 1, &none);
    }
    int status() const { return notStarted ? notStarted : gai_error(const_cast<gaicb*>(&request)); }
    // True when glibc no longer touches the request.
    bool cancel() { return notStarted || gai_cancel(&request) != EAI_NOTCANCELED; }
    const addrinfo* first() const { return request.ar_result; }
    static const addrinfo* next(const addrinfo* a) { return a->ai_next; }
    static QString describe(int rc) { return QString::fromLocal8Bit(gai_strerror(rc)); }
};

#endif

namespace {

// Lookups given up while the resolver still works on them: freed once it is
// done. Never destroyed: it may still write to them while the process exits.
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
    r->begin(host);
    m_request = std::move(r);
    m_poll.start();
}

void HostLookup::check()
{
    const int rc = m_request->status();
    if (rc == kInProgress)
        return;
    m_poll.stop();
    const std::unique_ptr<Request> r = std::move(m_request);
    Answer answer;
    if (rc != 0) {
        answer.unknown = rc == kUnknownName;
        answer.error = Request::describe(rc);
    } else {
        for (auto* a = r->first(); a; a = Request::next(a)) {
            char text[NI_MAXHOST];
            if (getnameinfo(a->ai_addr, static_cast<socklen_t>(a->ai_addrlen), text, sizeof text, nullptr, 0,
                            NI_NUMERICHOST) == 0
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
    std::erase_if(list, [](const auto& r) { return r->status() != kInProgress; });
    if (!m_request->cancel())
        list.push_back(std::move(m_request));
    m_request.reset();
}

} // namespace mqtt
