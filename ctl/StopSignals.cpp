#include "ctl/StopSignals.h"

#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zoltctl {

namespace {

#ifdef Q_OS_UNIX
// The pipe the handler writes to; one reader at a time.
int g_pipe[2] = {-1, -1};
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

extern "C" void noteSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; nothing is lost by dropping this one.
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}
#else
std::atomic<bool> g_stop{false};
extern "C" void noteSignal(int) { g_stop = true; }
constexpr int kPollMs = 100;
#endif

} // namespace

StopSignals::StopSignals(QObject* parent)
    : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (g_pipe[0] >= 0 || ::pipe(g_pipe) != 0)
        return;
    for (const int fd : g_pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::onNotified);
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // a write interrupted by the signal carries on
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
#else
    std::signal(SIGINT, noteSignal);
    std::signal(SIGTERM, noteSignal);
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &StopSignals::onNotified);
    poll->start(kPollMs);
#endif
    m_installed = true;
}

StopSignals::~StopSignals()
{
    if (!m_installed)
        return;
#ifdef Q_OS_UNIX
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    delete m_notifier;
    for (int& fd : g_pipe) {
        ::close(fd);
        fd = -1;
    }
#else
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
#endif
}

void StopSignals::onNotified()
{
#ifdef Q_OS_UNIX
    char buffer[16];
    bool any = false;
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0)
        any = true;
    if (any)
        emit stopRequested();
#else
    if (g_stop.exchange(false))
        emit stopRequested();
#endif
}

} // namespace zoltctl
